#pragma once
// What every fuzz target shares: a broken invariant stops the run with its description, so
// libFuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace qv::fuzz
