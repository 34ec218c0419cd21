#include "PrivateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool KeepPrivate(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
        ok = ::fchmod(fd, st.st_mode & 0700) == 0;
        if (ok)
            std::printf("lumaro: '%s' was readable by others; now only by its owner\n", path.c_str());
        std::fflush(stdout);
    }
    ::close(fd);
    return ok;
}
