#include "cli/UpdateQuestion.h"

#include <cctype>
#include <istream>
#include <ostream>
#include <string>

#include "flash/UpdateSequences.h"

namespace qv {

bool ConfirmUpdate(CliContext& context) {
    context.Err() << kUpdateWarningText << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(context.In(), answer)) return false;
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

}  // namespace qv
