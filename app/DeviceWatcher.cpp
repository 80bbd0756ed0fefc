// The removal watcher: polling instead of device notifications, so it works the same for
// every kind of drive the player may appear as.
#include "app/DeviceWatcher.h"

#include "app/ExtractRun.h"
#include "ui/Backend.h"

void WatchDeviceThread(const SWatchTarget& target) {
    platform::IPlatform& os = platform::Platform();
    for (;;) {
        platform::FileHandle hFile = os.OpenFileForRead(target.strPath.c_str());
        if (hFile == nullptr) {
            break;
        }
        os.CloseFile(hFile);
        os.Sleep(kWatchInterval);
    }
    // A run copying off the player can only fail from here on: it is stopped now, so that no
    // temporary file is left behind when the process ends.
    CExtractRun::StopActive();
    // No owner: the box is not modal to the dialog, which stays usable while it is up.
    UiBackend().MessageBox(nullptr, u"iPod unplugged: now Kestrum will be close", u"Error",
                           MB_ICONEXCLAMATION | MB_OK);
    // The process ends without the dialog's teardown, so the user's Explorer setting is put
    // back here.
    WriteBackExplorerSetting(target.explorer);
    os.ExitProcess(0);
}

platform::ThreadHandle StartDeviceWatcher(const CSongDatabase& database, const WString& watched) {
    SWatchTarget target{watched.empty() ? WString(database.GetPath()) : watched,
                        database.GetExplorerSetting()};
    return platform::Platform().StartThread(
        [target = std::move(target)]() { WatchDeviceThread(target); });
}
