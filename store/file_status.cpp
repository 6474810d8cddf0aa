#include "store/file_status.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

FileStatus fileStatus(const char* encodedPath) {
    FileStatus status;
#ifndef _WIN32
    struct stat info {};
    if (::stat(encodedPath, &info) == 0 && S_ISREG(info.st_mode)) {
        status.identity = {true, info.st_dev, info.st_ino};
        status.change = {info.st_ctim.tv_sec, info.st_ctim.tv_nsec, info.st_size};
    }
#else
    (void)encodedPath;
#endif
    return status;
}
