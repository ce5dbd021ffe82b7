#include "system/StandardStreams.h"

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qv {

void KeepStandardStreamsApart() {
#ifndef _WIN32
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is this one; should it land elsewhere
        // (another thread opened a file meanwhile), it is moved into place.
        const int opened = open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != descriptor) {
            dup2(opened, descriptor);
            close(opened);
        }
    }
#endif
}

const char* StandardStreamWriteError(int error) {
    return error == EBADF ? "it is closed" : std::strerror(error);
}

}  // namespace qv
