#include "system/Terminal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qv {

bool IsTerminal(StandardStream stream) {
    const int descriptor = stream == StandardStream::kOutput ? 1 : 2;
#ifdef _WIN32
    return _isatty(descriptor) != 0;
#else
    return isatty(descriptor) != 0;
#endif
}

}  // namespace qv
