// A library planted as an ODBC driver or SQLite extension: loading it is enough to leave its
// mark, before the driver manager asks it for anything.
#include "canary.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMark() {
    char line[64];
    const int n = std::snprintf(line, sizeof line, "library loaded by uid %u\n",
                                static_cast<unsigned>(::geteuid()));
    const int fd = ::open(CanaryFile(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd >= 0) {
        if (::write(fd, line, static_cast<size_t>(n)) < 0) {
        }
        ::close(fd);
    }
}
