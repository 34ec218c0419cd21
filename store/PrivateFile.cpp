#include "PrivateFile.h"

#include <cerrno>
#include <sys/stat.h>

// By path, never by opening the file: closing a descriptor of a database
// file would drop the locks SQLite's connections of this process hold on it.
bool KeepPrivate(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISREG(st.st_mode) || (st.st_mode & 077) == 0)
        return true;
    return ::chmod(path.c_str(), st.st_mode & 0700) == 0;
}
