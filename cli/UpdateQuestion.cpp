#include "cli/UpdateQuestion.h"

#include <istream>
#include <ostream>
#include <string>

#include "flash/UpdateSequences.h"
#include "text/LetterCase.h"

namespace qv {

bool ConfirmUpdate(CliContext& context) {
    context.Err() << kUpdateWarningText << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(context.In(), answer)) return false;
    answer = Lower(answer);
    return answer == "y" || answer == "yes";
}

}  // namespace qv
