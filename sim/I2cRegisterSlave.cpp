#include "sim/I2cRegisterSlave.h"

namespace qv::sim {

bool I2cRegisterSlave::Select(bool read) {
    expectPointer_ = !read;
    return true;
}

bool I2cRegisterSlave::Write(std::uint8_t byte) {
    if (expectPointer_) {
        pointer_ = byte;
        expectPointer_ = false;
    } else {
        registers_[pointer_++] = byte;
    }
    return true;
}

std::uint8_t I2cRegisterSlave::Read() {
    return registers_[pointer_++];
}

}  // namespace qv::sim
