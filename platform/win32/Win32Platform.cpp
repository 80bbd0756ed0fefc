// The platform seam over the Windows API, Unicode throughout.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CopyBatch.h"
#include "platform/CopyProgress.h"
#include "platform/Platform.h"
#include "platform/TemporaryName.h"
#include "platform/win32/DrivePaths.h"
#include "platform/win32/ScopedErrorMode.h"
#include "platform/win32/WinApi.h"

namespace platform {

// The objects behind the seam's opaque handles.
struct FileObject {
    HANDLE m_hFile;
};
struct ExplorerKeyObject {
    HKEY m_hKey;
};
struct ThreadObject {
    HANDLE m_hThread;
};

namespace {

// WChar and wchar_t are both UTF-16 code units of 16 bits on Windows; only the type differs.
static_assert(sizeof(WChar) == sizeof(wchar_t));

const wchar_t* Api(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

constexpr const wchar_t* kExplorerAdvanced =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr const wchar_t* kHiddenValue = L"Hidden";
// KEY_READ | KEY_WRITE: the guard reads the value and may write it back.
constexpr REGSAM kExplorerAccess = 0x2001F;
constexpr std::uint32_t kValueBytes = 4;

// The registry keeps a DWORD's bytes in little-endian order.
void PutLittleEndian(std::uint32_t value, BYTE (&bytes)[kValueBytes]) {
    for (std::uint32_t i = 0; i < kValueBytes; ++i) {
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

// The program's own settings.
constexpr const wchar_t* kSettingsKey = L"Software\\Kestrum";

// Registry calls return their error instead of leaving it as the thread's last error.
bool RegistryResult(LSTATUS status) {
    if (status != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    return true;
}

DWORD WINAPI RunThread(LPVOID parameter) {
    const std::unique_ptr<std::function<void()>> routine(
        static_cast<std::function<void()>*>(parameter));
    (*routine)();
    return 0;
}

// Hands the copy's bytes to this thread's progress; its "stop" cancels the copy, and the system
// then deletes the partial file itself.
DWORD CALLBACK OnCopyProgress(LARGE_INTEGER total, LARGE_INTEGER copied, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID) {
    return ReportCopyProgress(static_cast<std::uint64_t>(copied.QuadPart),
                              static_cast<std::uint64_t>(total.QuadPart))
               ? PROGRESS_CONTINUE
               : PROGRESS_CANCEL;
}

constexpr std::string_view kTemporaryPrefix = "~kestrum-";

bool IsExistsError(DWORD dwError) {
    return dwError == ERROR_FILE_EXISTS || dwError == ERROR_ALREADY_EXISTS;
}

// folder in a form that can have a file name appended: with a final '\', but a bare drive
// ("X:", drive-relative) left as it is.
WString WithSeparator(WString folder) {
    if (!folder.empty() && folder.back() != u'\\' &&
        folder.size() != win32::DrivePrefixLength(folder)) {
        folder.push_back(u'\\');
    }
    return folder;
}

// A handle closed by its kind's own call when the object ends; TTraits says which value stands
// for none and how to close.
template <typename TTraits>
class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~CScopedHandle() {
        if (IsValid()) {
            TTraits::Close(m_hHandle);
        }
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    bool IsValid() const { return m_hHandle != TTraits::Invalid(); }
    HANDLE Get() const { return m_hHandle; }

private:
    HANDLE m_hHandle;
};

// A search of FindFirstFileW.
struct SFindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE hFind) { ::FindClose(hFind); }
};
using CFindHandle = CScopedHandle<SFindTraits>;

// A process opened for a question.
struct SProcessTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE hProcess) { ::CloseHandle(hProcess); }
};
using CProcessHandle = CScopedHandle<SProcessTraits>;

// Whether a temporary file of this name was left by a process that has ended. OpenProcess fails
// with ERROR_INVALID_PARAMETER only for an id no process has; a live process we may not open
// fails with ERROR_ACCESS_DENIED and keeps its files.
bool IsStaleTemporary(const WString& name) {
    std::uint64_t owner = 0;
    if (!TemporaryNameOwner(Utf8FromWide(name), kTemporaryPrefix, owner) || owner > 0xFFFFFFFFu ||
        owner == ::GetCurrentProcessId()) {
        return false;
    }
    const CProcessHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(owner)));
    return !process.IsValid() && ::GetLastError() == ERROR_INVALID_PARAMETER;
}

class CWin32Platform final : public IPlatform {
public:
    FileHandle OpenFileForRead(const WChar* path) override {
        const WString resolved = Native(path);
        const win32::CScopedErrorMode quiet;
        const HANDLE hFile = ::CreateFileW(Api(resolved), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        auto* pFile = new (std::nothrow) FileObject{hFile};
        if (pFile == nullptr) {
            ::CloseHandle(hFile);
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        }
        return pFile;
    }

    bool GetFileSize(FileHandle file, std::uint64_t& size) override {
        LARGE_INTEGER value{};
        const win32::CScopedErrorMode quiet;
        if (file == nullptr || !::GetFileSizeEx(file->m_hFile, &value) || value.QuadPart < 0) {
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }

    bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override {
        DWORD count = 0;
        const win32::CScopedErrorMode quiet;
        const bool bRead =
            file != nullptr && ::ReadFile(file->m_hFile, buffer, size, &count, nullptr) != FALSE;
        bytesRead = count;
        return bRead;
    }

    bool SeekFile(FileHandle file, std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        LARGE_INTEGER distance{};
        distance.QuadPart = static_cast<LONGLONG>(offset);
        const win32::CScopedErrorMode quiet;
        return file != nullptr &&
               ::SetFilePointerEx(file->m_hFile, distance, nullptr, FILE_BEGIN) != FALSE;
    }

    void CloseFile(FileHandle file) override {
        if (file != nullptr) {
            ::CloseHandle(file->m_hFile);
            delete file;
        }
    }

    // The catalogue is read into memory of our own, not mapped: a player can be pulled out at
    // any time, and a mapped page of a vanished drive raises an in-page error that would end
    // the program before the removal message and before the Explorer setting is restored.

    void* AllocateBlock(std::size_t size) override {
        // An empty file still gets a block of its own, so that nullptr always means failure.
        return ::VirtualAlloc(nullptr, size == 0 ? 1 : size, MEM_COMMIT | MEM_RESERVE,
                              PAGE_READWRITE);
    }

    void FreeBlock(void* block) override {
        if (block != nullptr) {
            ::VirtualFree(block, 0, MEM_RELEASE);
        }
    }

    bool CreateFolder(const WChar* path) override {
        const WString folder = Native(path);
        const win32::CScopedErrorMode quiet;
        if (::CreateDirectoryW(Api(folder), nullptr) != FALSE) {
            return true;
        }
        const DWORD dwError = ::GetLastError();
        const DWORD dwAttributes = ::GetFileAttributesW(Api(folder));
        if (dwError == ERROR_ALREADY_EXISTS && dwAttributes != INVALID_FILE_ATTRIBUTES &&
            (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return true;
        }
        ::SetLastError(dwError);
        return false;
    }

    bool WriteWholeFile(const WChar* path, std::span<const std::uint8_t> bytes) override {
        const WString native = m_drives.Resolve(path);
        const win32::CScopedErrorMode quiet;
        const HANDLE hFile = ::CreateFileW(Api(native), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            return false;
        }
        bool bWritten = true;
        for (std::size_t done = 0; done < bytes.size() && bWritten;) {
            const DWORD dwChunk =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            DWORD dwWritten = 0;
            bWritten =
                ::WriteFile(hFile, bytes.data() + done, dwChunk, &dwWritten, nullptr) != FALSE &&
                dwWritten > 0;
            done += dwWritten;
        }
        const DWORD dwError = ::GetLastError();
        ::CloseHandle(hFile);
        // The error of the failed write, not of the close after it.
        ::SetLastError(dwError);
        return bWritten;
    }

    bool CopyFileNew(const WChar* source, const WChar* target) override {
        const WString from = Native(source);
        const WString to = m_drives.Resolve(target);
        // A ':' in the name would put the song into a hidden stream of another file.
        if (win32::HasStreamColon(to)) {
            ::SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        const WString folder = WithSeparator(win32::ParentFolder(to));
        // A name of our own next to the target: renaming within one folder is one step, so the
        // target is either absent or the whole copy.
        WString temp;
        const win32::CScopedErrorMode quiet;
        bool bCopied = false;
        for (int attempt = 0; attempt < 16 && !bCopied; ++attempt) {
            // The temporary name is longer than most: it may be what makes the path long.
            temp = win32::LongPathForm(
                folder + WideFromAscii(TemporaryName(kTemporaryPrefix, ::GetCurrentProcessId(),
                                                     m_nextTemp.fetch_add(1))));
            bCopied = ::CopyFileExW(Api(from), Api(temp), OnCopyProgress, nullptr, nullptr,
                                    COPY_FILE_FAIL_IF_EXISTS) != FALSE;
            if (!bCopied && !IsExistsError(::GetLastError())) {
                break;
            }
        }
        if (!bCopied) {
            // A name that was taken belongs to someone else; anything else may be a partial
            // copy of ours.
            if (!IsExistsError(::GetLastError())) {
                DiscardTemp(temp);
            }
            return false;
        }
        // Without MOVEFILE_REPLACE_EXISTING the move fails with ERROR_ALREADY_EXISTS when the
        // target exists, however recently it appeared: a file of the user's is never replaced.
        if (::MoveFileExW(Api(temp), Api(win32::LongPathForm(to)), MOVEFILE_WRITE_THROUGH) ==
            FALSE) {
            DiscardTemp(temp);
            return false;
        }
        return true;
    }

    std::size_t GetMaxPathLength() override { return win32::kMaxLongPath - 1; }

    ENameRules GetNameRules(const WChar* /*folder*/) override { return ENameRules::kWindows; }

    // The invariant upper case is the table NTFS and CompareStringOrdinal fold names with.
    WString FoldCase(WStringView text) override {
        if (text.empty()) {
            return WString();
        }
        WString folded(text.size(), u'\0');
        const int nLength = static_cast<int>(text.size());
        if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE,
                            reinterpret_cast<const wchar_t*>(text.data()), nLength,
                            reinterpret_cast<wchar_t*>(folded.data()), nLength, nullptr, nullptr,
                            0) != nLength) {
            return IPlatform::FoldCase(text);
        }
        return folded;
    }

    EPathState QueryPath(const WChar* path) override {
        const WString resolved = Native(path);
        const win32::CScopedErrorMode quiet;
        const DWORD dwAttributes = ::GetFileAttributesW(Api(resolved));
        if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD dwError = ::GetLastError();
            return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND
                       ? EPathState::kAbsent
                       : EPathState::kOther;
        }
        return (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0
                   ? EPathState::kOther
                   : EPathState::kFile;
    }

    bool RemoveStaleTemporaries(const WChar* folder) override {
        const WString prefix = WithSeparator(m_drives.Resolve(folder));
        WIN32_FIND_DATAW found{};
        const CFindHandle find(::FindFirstFileW(
            Api(win32::LongPathForm(prefix + WideFromAscii(std::string(kTemporaryPrefix)) +
                                    u"*.tmp")),
            &found));
        if (!find.IsValid()) {
            return ::GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            // Only a file this program could have made: never a folder or a link of that name.
            constexpr DWORD kNotOurs = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            const WString name(reinterpret_cast<const WChar*>(found.cFileName));
            if ((found.dwFileAttributes & kNotOurs) == 0 && IsStaleTemporary(name)) {
                ::DeleteFileW(Api(win32::LongPathForm(prefix + name)));
            }
        } while (::FindNextFileW(find.Get(), &found) != FALSE);
        return true;
    }

    bool ListFolder(const WChar* folder, std::vector<SFolderEntry>& entries) override {
        entries.clear();
        const WString prefix = WithSeparator(m_drives.Resolve(folder));
        const win32::CScopedErrorMode quiet;
        WIN32_FIND_DATAW found{};
        const CFindHandle find(::FindFirstFileW(Api(win32::LongPathForm(prefix + u"*")), &found));
        if (!find.IsValid()) {
            return false;
        }
        do {
            const WString name(reinterpret_cast<const WChar*>(found.cFileName));
            if (name == u"." || name == u".." ||
                (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
                continue;
            }
            entries.push_back(
                SFolderEntry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::FindNextFileW(find.Get(), &found) != FALSE);
        return true;
    }

    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        const WString resolved = Native(path);
        ULARGE_INTEGER available{};
        ULARGE_INTEGER bytes{};
        const win32::CScopedErrorMode quiet;
        if (::GetDiskFreeSpaceExW(Api(resolved), &available, &bytes, nullptr) == FALSE) {
            return false;
        }
        freeToCaller = available.QuadPart;
        total = bytes.QuadPart;
        return true;
    }

    ExplorerKey OpenExplorerKey() override {
        HKEY hKey = nullptr;
        if (!RegistryResult(
                ::RegOpenKeyExW(HKEY_CURRENT_USER, kExplorerAdvanced, 0, kExplorerAccess, &hKey))) {
            return nullptr;
        }
        auto* pKey = new (std::nothrow) ExplorerKeyObject{hKey};
        if (pKey == nullptr) {
            ::RegCloseKey(hKey);
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        }
        return pKey;
    }

    bool QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) override {
        if (key == nullptr) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        // The value lands in its four bytes as a little-endian DWORD would; a shorter value
        // leaves the remaining bytes as they were.
        BYTE bytes[kValueBytes];
        PutLittleEndian(value, bytes);
        DWORD room = size < kValueBytes ? size : kValueBytes;
        if (!RegistryResult(
                ::RegQueryValueExW(key->m_hKey, kHiddenValue, nullptr, nullptr, bytes, &room))) {
            return false;
        }
        value = 0;
        for (std::uint32_t i = 0; i < kValueBytes; ++i) {
            value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
        }
        size = room;
        return true;
    }

    bool SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) override {
        if (key == nullptr) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        BYTE bytes[kValueBytes];
        PutLittleEndian(value, bytes);
        const DWORD count = size < kValueBytes ? size : kValueBytes;
        return RegistryResult(
            ::RegSetValueExW(key->m_hKey, kHiddenValue, 0, REG_DWORD, bytes, count));
    }

    void CloseExplorerKey(ExplorerKey key) override {
        if (key != nullptr) {
            ::RegCloseKey(key->m_hKey);
            delete key;
        }
    }

    bool ReadSettingText(const WChar* name, WString& value) override {
        DWORD dwBytes = 0;
        if (!RegistryResult(::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, Api(name),
                                           RRF_RT_REG_SZ, nullptr, nullptr, &dwBytes))) {
            return false;
        }
        std::wstring text(dwBytes / sizeof(wchar_t) + 1, L'\0');
        dwBytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (!RegistryResult(::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, Api(name),
                                           RRF_RT_REG_SZ, nullptr, text.data(), &dwBytes))) {
            return false;
        }
        // The size counts the terminating zero, which RegGetValueW always writes.
        text.resize(dwBytes / sizeof(wchar_t) > 0 ? dwBytes / sizeof(wchar_t) - 1 : 0);
        value.assign(text.begin(), text.end());
        return true;
    }

    bool WriteSettingText(const WChar* name, const WString& value) override {
        const DWORD dwBytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return RegistryResult(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, Api(name), REG_SZ,
                                                value.c_str(), dwBytes));
    }

    bool ReadSettingNumber(const WChar* name, std::uint32_t& value) override {
        DWORD dwValue = 0;
        DWORD dwBytes = sizeof dwValue;
        if (!RegistryResult(::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, Api(name),
                                           RRF_RT_REG_DWORD, nullptr, &dwValue, &dwBytes))) {
            return false;
        }
        value = dwValue;
        return true;
    }

    bool WriteSettingNumber(const WChar* name, std::uint32_t value) override {
        const DWORD dwValue = value;
        return RegistryResult(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, Api(name),
                                                REG_DWORD, &dwValue, sizeof dwValue));
    }

    void MapDrive(WChar letter, const WString& folder) override { m_drives.Map(letter, folder); }

    std::string LastErrorText() override {
        const DWORD code = ::GetLastError();
        wchar_t text[512] = {};
        const DWORD length =
            ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
        WString message(reinterpret_cast<const WChar*>(text), length);
        while (!message.empty() &&
               (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' ')) {
            message.pop_back();
        }
        if (message.empty()) {
            return "error " + std::to_string(code);
        }
        return Utf8FromWide(message);
    }

    ThreadHandle StartThread(std::function<void()> routine) override {
        auto* pRoutine = new (std::nothrow) std::function<void()>(std::move(routine));
        auto* pThread = new (std::nothrow) ThreadObject{nullptr};
        if (pRoutine == nullptr || pThread == nullptr) {
            delete pRoutine;
            delete pThread;
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        pThread->m_hThread = ::CreateThread(nullptr, 0, RunThread, pRoutine, 0, nullptr);
        if (pThread->m_hThread == nullptr) {
            delete pRoutine;
            delete pThread;
            return nullptr;
        }
        return pThread;
    }

    void CloseThread(ThreadHandle thread) override {
        if (thread != nullptr) {
            ::CloseHandle(thread->m_hThread);
            delete thread;
        }
    }

    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

    [[noreturn]] void ExitProcess(int code) override {
        // ExitProcess skips the C runtime's own flush of buffered output.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        ::ExitProcess(static_cast<UINT>(code));
    }

private:
    // A path of the program's as the file calls take it: its mapped drive resolved, and in the
    // extended-length form when it is long (every file call goes through here or through
    // LongPathForm itself, so that a path's length never decides whether a call works).
    WString Native(const WChar* path) const { return win32::LongPathForm(m_drives.Resolve(path)); }

    // Removes a temporary copy, keeping the error that made it useless.
    static void DiscardTemp(const WString& temp) {
        const DWORD error = ::GetLastError();
        if (!temp.empty()) {
            ::DeleteFileW(Api(temp));
        }
        ::SetLastError(error);
    }

    win32::CDriveMap m_drives;
    std::atomic<std::uint64_t> m_nextTemp{0};
};

}  // namespace

IPlatform& NativePlatform() {
    // Never destroyed: threads the program does not wait for (the removal watcher) may still
    // call it while the process runs its exit-time destructors.
    static CWin32Platform& s_platform = *new CWin32Platform;
    return s_platform;
}

}  // namespace platform

namespace platform::detail {

// Copies here are made durable one by one (CopyFileNew does not stage them), so a batch
// never holds any.
void CommitStagedCopies(std::vector<SStagedCopy>& /*staged*/) {}

void DiscardStagedCopies(std::vector<SStagedCopy>& staged) { staged.clear(); }

}  // namespace platform::detail
