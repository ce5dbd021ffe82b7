#pragma once
// The note installed next to the demo firmware: which file the update looks for with each
// catalogue product, and how to rehearse the update with the demo.

#include <string>

namespace qv::doc {

// `demoFirmware`: the name of the demo firmware installed next to the note.
std::string WriteFirmwareNote(const std::string& demoFirmware);

}  // namespace qv::doc
