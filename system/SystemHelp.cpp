#include "system/SystemHelp.h"

namespace qv {

// On Windows the device locks are named mutexes and the driver has no debug switch of libusb's.
std::string EnvironmentHelp() {
#ifdef _WIN32
    return {};
#else
    return "  LIBUSB_DEBUG  libusb's own messages on stderr: 1 errors, 2 warnings, 3 information, "
           "4 debugging\n"
           "  QV4820_LOCK_DIR  the folder of the device and state file locks, shared by every user "
           "(default /run/lock where every user may make files, else /tmp/qv4820-locks)";
#endif
}

}  // namespace qv
