#pragma once
// qvtool image FILE [--out BIN]: loads a firmware file exactly as the ISP page does
// (LoadImageByName: third character from the end picks HEX or binary), prints what was loaded
// and the checksum as the window shows it ("Checksum : 0x" + 4 upper-case hex digits), or the
// refusal with its line and reason. With --out, writes bytes 0..length-1 of the image to BIN.

#include <ostream>
#include <string>

namespace qv {

// Returns the exit status: 0 when the file was loaded (and, with outBin non-empty, the
// binary written), 1 otherwise. Normal output goes to `out`, refusals and failures to `err`.
int RunImageCommand(const std::string& file, const std::string& outBin, std::ostream& out,
                    std::ostream& err);

}  // namespace qv
