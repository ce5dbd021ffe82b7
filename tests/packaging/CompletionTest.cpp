// qvtool's bash and zsh completion, as the build writes them, run the way each shell runs them
// on Tab: in bash COMP_WORDS as bash splits the line (at '=' and ':' too), then _qvtool; in zsh
// words and CURRENT, with compadd and _files standing in for the shell's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/packaging/ProgramOutput.h"

namespace qv {
namespace {

// What the completion offers for the last word, in the folder `cwd`, with the build's qvtool
// first on PATH.
std::string Complete(const std::vector<std::string>& words, const std::string& cwd = ".") {
    std::string script = "source " QV_DOCS_DIR "/completions/qvtool\nCOMP_WORDS=(";
    for (const std::string& word : words) script += test::Quoted(word) + " ";
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
              "\n_qvtool\necho \"${COMPREPLY[*]}\"\n";
    const std::string file = testing::TempDir() + "complete.sh";
    std::ofstream(file) << script;
    std::string reply = test::Output("cd " + test::Quoted(cwd) +
                                     " && PATH=" QV_BIN_DIR ":$PATH bash " + test::Quoted(file));
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return reply;
}

TEST(BashCompletion, OffersCommandsOptionsAndChoices) {
    const struct {
        std::vector<std::string> words;
        std::string offered;
    } cases[] = {
        {{"qvtool", ""}, "list update flash image reg i2c param status hid"},
        {{"qvtool", "fl"}, "flash"},
        {{"qvtool", "flash", ""}, "id status erase blank program verify read"},
        {{"qvtool", "param", "settings", "--i2s-"}, "--i2s-bits --i2s-swap --i2s-format --i2s-out"},
        // Global options before or after the command; their values are not commands.
        {{"qvtool", "--json", "flash", "re"}, "read"},
        {{"qvtool", "--sim-state", "flash", "i"}, "image i2c"},
        {{"qvtool", "--simulate", "fl"}, "flash"},
        {{"qvtool", "--simulate", "flash", "re"}, "read"},
        {{"qvtool", "--simulate", "isp-a7d6", "i2"}, "i2c"},
        {{"qvtool", "--simulate", "=", "isp-a7d6", "i2c", "w"}, "write"},
        {{"qvtool", "update", "--d"}, "--device"},
        {{"qvtool", "update", "--y"}, "--yes"},
        {{"qvtool", "-"},
         "-h --help --version --simulate --io-log --sim-log --replay --sim-fault --sim-audio "
         "--sim-flash --sim-state --sim-latency --sim-virtual-time --device --json"},
        // Values: choices, nothing for numbers and texts.
        {{"qvtool", "param", "settings", "--mclk", ""}, "128 256 512 1024"},
        {{"qvtool", "param", "settings", "--mclk", "=", "5"}, "512"},
        {{"qvtool", "param", "settings", "--mclk", "="}, "=128 =256 =512 =1024"},
        {{"qvtool", "reg", "read", "--count", ""}, ""},
        {{"qvtool", "reg", "read", ""}, ""},
        {{"qvtool", "update", ""}, ""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& word : c.words) line += "[" + word + "]";
        EXPECT_EQ(Complete(c.words), c.offered) << line;
    }
}

TEST(BashCompletion, OffersFilesWhereAFileGoes) {
    const std::filesystem::path folder = testing::TempDir() + "completion-files";
    std::filesystem::create_directories(folder / "fw dir");
    std::ofstream(folder / "fw.hex") << "";
    std::ofstream(folder / "other.bin") << "";
    const std::string cwd = folder.string();
    const struct {
        std::vector<std::string> words;
        std::string offered;
    } cases[] = {
        {{"qvtool", "update", "--file", "fw"}, "fw dir fw.hex"},
        {{"qvtool", "update", "--file", "=", "o"}, "other.bin"},
        {{"qvtool", "flash", "read", "o"}, "other.bin"},
        {{"qvtool", "image", "fw."}, "fw.hex"},
        {{"qvtool", "image", "--out", "o"}, "other.bin"},
        {{"qvtool", "--io-log", "o"}, "other.bin"},
        {{"qvtool", "--sim-state", "o"}, "other.bin"},
        {{"qvtool", "i2c", "write", "o"}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Complete(c.words, cwd), c.offered) << c.words.back();
}

// --device offers the ids `qvtool list` prints, on the virtual devices typed so far.
TEST(BashCompletion, OffersTheDevicesPresent) {
    const struct {
        std::vector<std::string> words;
        std::string offered;
    } cases[] = {
        {{"qvtool", "--simulate", "--device", ""}, "vid_a7d6\\&pid_f017"},
        {{"qvtool", "--simulate", "=", "isp-a7d6", "update", "--device", ""},
         "vid_a7d6\\&pid_6000"},
        {{"qvtool", "--simulate", "Tesmora_Pavo_v11", "--simulate", "=", "isp-0c5e", "--device",
          "vid_0"},
         "vid_0c5e\\&pid_6000"},
        {{"qvtool", "--simulate", "--simulate", "--device", "="}, "=vid_a7d6\\&pid_f017"},
        {{"qvtool", "--simulate", "=", "no-such-product", "--device", ""}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Complete(c.words), c.offered) << c.words.size();
}

// What the zsh completion hands to compadd (zsh then keeps those matching the typed prefix),
// "<files>" where it calls _files.
std::string CompleteZsh(const std::vector<std::string>& words) {
    std::string script =
        "compadd() { while [[ $1 == -* && $1 != -- ]]; do shift; done; shift; print -r -- \"$@\"; "
        "}\n"
        "_files() { print -r -- '<files>'; }\n"
        "compset() { return 0; }\n"
        "_qvtool() { source " QV_DOCS_DIR
        "/completions/_qvtool; }\n"
        "words=(";
    for (const std::string& word : words) script += test::Quoted(word) + " ";
    script += ")\nCURRENT=" + std::to_string(words.size()) + "\n_qvtool\n";
    const std::string file = testing::TempDir() + "complete.zsh";
    std::ofstream(file) << script;
    std::string reply = test::Output("PATH=" QV_BIN_DIR ":$PATH zsh -f " + test::Quoted(file));
    for (char& c : reply) c = c == '\n' ? ' ' : c;
    while (!reply.empty() && reply.back() == ' ') reply.pop_back();
    return reply;
}

TEST(ZshCompletion, OffersCommandsChoicesFilesAndDevices) {
    const struct {
        std::vector<std::string> words;
        std::string offered;
    } cases[] = {
        {{"qvtool", ""}, "list update flash image reg i2c param status hid"},
        {{"qvtool", "flash", "r"}, "id status erase blank program verify read"},
        {{"qvtool", "--sim-state", "flash", "i"},
         "list update flash image reg i2c param status hid"},
        {{"qvtool", "--simulate", "flash", ""}, "id status erase blank program verify read"},
        {{"qvtool", "reg", "read", "--b"},
         "--count --bank -h --help --version --simulate --io-log --sim-log "
         "--replay --sim-fault --sim-audio --sim-flash "
         "--sim-state --sim-latency --sim-virtual-time --device "
         "--json"},
        {{"qvtool", "param", "settings", "--mclk", ""}, "128 256 512 1024"},
        {{"qvtool", "param", "settings", "--mclk=5"}, "128 256 512 1024"},
        {{"qvtool", "update", "--file", "x"}, "<files>"},
        {{"qvtool", "image", "x"}, "<files>"},
        {{"qvtool", "reg", "read", ""}, ""},
        {{"qvtool", "--simulate=isp-a7d6", "--device", ""}, "vid_a7d6&pid_6000"},
        {{"qvtool", "--simulate", "--simulate", "update", "--device=v"}, "vid_a7d6&pid_f017"},
    };
    for (const auto& c : cases) EXPECT_EQ(CompleteZsh(c.words), c.offered) << c.words.size();
}

}  // namespace
}  // namespace qv
