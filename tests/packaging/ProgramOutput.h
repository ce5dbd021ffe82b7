#pragma once
// Runs a shell command line and returns what it printed on stdout.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace qv::test {

inline std::string Output(const std::string& command) {
    std::string text;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return text;
    }
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        text.append(buffer.data(), n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return text;
}

// `text` in single quotes for the shell.
inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace qv::test
