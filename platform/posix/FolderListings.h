// Case-blind name lookups in a folder, and the calls that change folders while a copy batch runs.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace platform::posix {

// The folder part of a native path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Finds the entry of folder that equals name but for ASCII case; where several do (possible on
// a case-sensitive file system), the smallest wins, so that the choice does not depend on the
// order of the folder's entries.
//
// Copying thousands of songs into one folder looks up every new name this way, and reading
// the folder for each would make the run's time grow with the square of its size. So while a
// copy batch lives on the calling thread, a folder's listing is kept and used again as long as
// the folder's identity and modification time stay as they were, and the calls below keep it
// true across the changes this program makes itself. A name another program gives the folder
// within the same clock tick as one of those changes is not seen until the folder changes
// again; the copy then takes its name as written. Outside a batch the folder is read each time.
bool FindIgnoringCase(const std::string& folder, const std::string& name, std::string& found);

// open(path, flags | O_CREAT | O_EXCL, mode), mkdir, a rename that never replaces and unlink,
// each telling a kept listing of the folders it changes what changed. Same results and errno as
// the plain calls.
int CreateNewFile(const std::string& path, int flags, mode_t mode);
int MakeFolder(const std::string& path, mode_t mode);
// Gives the file from the name to in one step, or fails with EEXIST when to exists, however
// recently it appeared: renameat2 with RENAME_NOREPLACE, or LinkToNewName where the file system
// or kernel cannot do that.
int RenameToNewName(const std::string& from, const std::string& to);
int RemoveEntry(const std::string& path);
// Gives the file without a name open as fd (O_TMPFILE, made without O_EXCL) the name to, or fails
// with EEXIST when to exists: a link never replaces. Through /proc/self/fd, which needs no
// privilege; UnnamedFilesLinkable tells whether this process can reach it.
int LinkUnnamed(int fd, const std::string& to);
bool UnnamedFilesLinkable();

// link(from, to) then unlink(from): as atomic as RenameToNewName, as link never replaces. Only
// its fallback; a plain call (it keeps no listing up to date), so that tests can reach it.
int LinkToNewName(const std::string& from, const std::string& to);

// While one lives, the calls above on this thread check a folder's kept listing before their
// first change to it and stamp it after the last, not around every change: for a run of changes
// made one straight after another, such as the renames that end a batch. Runs do not nest.
class CFolderChangeRun {
public:
    CFolderChangeRun();
    ~CFolderChangeRun();
    CFolderChangeRun(const CFolderChangeRun&) = delete;
    CFolderChangeRun& operator=(const CFolderChangeRun&) = delete;

private:
    std::map<std::string, bool> m_checked;
};

}  // namespace platform::posix
