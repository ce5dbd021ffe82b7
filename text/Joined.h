#pragma once
// A list as one text: "a, b, c".

#include <functional>
#include <ranges>
#include <string>
#include <string_view>

namespace qv {

// Each item, as `text` makes it a string, with `separator` between two.
template <std::ranges::input_range Items, class Text = std::identity>
std::string Joined(const Items& items, std::string_view separator, Text text = {}) {
    std::string joined;
    bool first = true;
    for (const auto& item : items) {
        if (!first) joined += separator;
        first = false;
        joined += std::invoke(text, item);
    }
    return joined;
}

}  // namespace qv
