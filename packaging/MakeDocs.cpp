// Writes what the installed programs come with, from the programs themselves (run by the build):
//   qv_make_docs qvtool-man VERSION OUT        qvtool(1) from its command tree
//   qv_make_docs qvtool-bash OUT               qvtool's bash completion
//   qv_make_docs qvtool-zsh OUT                qvtool's zsh completion
//   qv_make_docs qvupdate-man VERSION HELP SECTIONS OUT
//                                              qvupdate(1) from its --help output (HELP) and
//                                              its closing sections (SECTIONS)
//   qv_make_docs firmware-note DEMO OUT        the note next to the demo firmware (named DEMO)

#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/QvtoolCommandLine.h"
#include "packaging/Cli11Doc.h"
#include "packaging/FirmwareNote.h"
#include "packaging/ManPage.h"
#include "packaging/QtHelpDoc.h"
#include "packaging/ShellCompletion.h"
#include "stack/StackOptions.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

// The shared device options that choose the bus `list` looks at: all but traffic capture.
std::vector<std::string> BusOptions() {
    std::vector<std::string> names;
    for (const qv::StackOption& option : qv::StackOptions()) {
        if (option.id != qv::StackOptionId::kIoLog) names.push_back("--" + option.names.front());
    }
    return names;
}

qv::doc::ProgramDoc DescribeQvtool() {
    std::ostringstream ignored;
    qv::CliContext context(ignored, ignored, {});
    CLI::App app;
    qv::BuildQvtoolCommandLine(app, context);
    return qv::doc::DescribeCli11(app);
}

void Run(const std::vector<std::string>& a) {
    const std::string what = a.empty() ? "" : a[0];
    if (what == "qvtool-man" && a.size() == 3) {
        WriteFile(a[2], qv::doc::WriteManPage(DescribeQvtool(), {a[1], {"qvupdate(1)"}}));
    } else if ((what == "qvtool-bash" || what == "qvtool-zsh") && a.size() == 2) {
        const qv::doc::CompletionInfo info{"--device", {"list", "--json"}, BusOptions()};
        const qv::doc::ProgramDoc qvtool = DescribeQvtool();
        WriteFile(a[1], what == "qvtool-bash" ? qv::doc::WriteBashCompletion(qvtool, info)
                                              : qv::doc::WriteZshCompletion(qvtool, info));
    } else if (what == "qvupdate-man" && a.size() == 5) {
        const qv::doc::ProgramDoc program =
            qv::doc::DescribeQtHelp("qvupdate", ReadFile(a[2]), ReadFile(a[3]));
        WriteFile(a[4], qv::doc::WriteManPage(program, {a[1], {"qvtool(1)"}}));
    } else if (what == "firmware-note" && a.size() == 3) {
        WriteFile(a[2], qv::doc::WriteFirmwareNote(a[1]));
    } else {
        throw std::runtime_error("usage: see the top of packaging/MakeDocs.cpp");
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Run(std::vector<std::string>(argv + 1, argv + argc));
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "qv_make_docs: " << e.what() << "\n";
        return 1;
    }
}
