#pragma once
// What a windowed program needs to know of the desktop it runs on: whether its messages reach a
// person through its standard streams, and what to tell someone whose product is not found.

#include <string>

namespace qv {

// A windowed program on Windows starts without a console: when started from a Command Prompt,
// it attaches to that console and points its standard streams that lead nowhere at it, so that
// what it writes there is seen. Elsewhere, and where the streams already lead somewhere (a file,
// a pipe), nothing changes.
void AttachParentConsole();

// Whether messages of a windowed program must also appear in a window to be seen: on Windows,
// where a double-click or a shortcut gives it no console.
bool MessagesNeedAWindow();

// What to check when no product is found, for this system's way of reaching devices: on Windows
// the product's driver must be installed (`driverRegistered`: a product with it was ever plugged
// in here); on Linux libusb needs none.
std::string NoDeviceAdvice(bool driverRegistered);

}  // namespace qv
