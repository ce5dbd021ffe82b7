#pragma once
// What the command line's help says of the system it runs on: the environment variables this
// system's platform code reads, as "  NAME  text" lines; empty where it reads none.

#include <string>

namespace qv {

std::string EnvironmentHelp();

}  // namespace qv
