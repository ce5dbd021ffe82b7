// qvtool: the command line of the update and service tool, for benches and production lines.

#include <iostream>

#include "cli/Qvtool.h"

int main(int argc, char** argv) {
    return qv::RunQvtool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
