#pragma once
// The one way a function says it failed: an Expected<T> holds either its value or a Problem
// (a kind and the text the user reads); Expected<void> is success or a Problem. No caller has
// to know that an empty text, a null pointer or a false means failure for this one function.
// A layer whose failures sort into kinds of its own (the device stack's, which the command line
// turns into exit statuses) names its own problem type as the second argument.

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "result/FailureKind.h"

namespace qv {

struct Problem {
    FailureKind kind = FailureKind::kOther;
    std::string text;  // the system's or the tool's own words, shown as they are
    bool operator==(const Problem&) const = default;
};

namespace detail {
// A problem of kind "none" would read as a success: it counts as kOther instead.
template <typename E>
E Failed(E problem) {
    if constexpr (std::is_same_v<E, Problem>) {
        if (problem.kind == FailureKind::kNone) problem.kind = FailureKind::kOther;
    }
    return problem;
}
inline const std::string kNoText;
}  // namespace detail

template <typename T, typename E = Problem>
class [[nodiscard]] Expected {
  public:
    template <typename U = T>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, E> &&
             !std::is_same_v<std::remove_cvref_t<U>, Expected>) Expected(U&& value)
        : state_(std::in_place_index<0>, std::forward<U>(value)) {}
    Expected(E problem) : state_(std::in_place_index<1>, detail::Failed(std::move(problem))) {}

    bool ok() const { return state_.index() == 0; }
    // The value; only after ok().
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    // The failure; only when not ok().
    const E& problem() const { return std::get<1>(state_); }
    FailureKind kind() const requires std::is_same_v<E, Problem> {
        return ok() ? FailureKind::kNone : problem().kind;
    }
    // Empty on success.
    const std::string& text() const requires std::is_same_v<E, Problem> {
        return ok() ? detail::kNoText : problem().text;
    }

  private:
    std::variant<T, E> state_;
};

template <typename E>
class [[nodiscard]] Expected<void, E> {
  public:
    Expected() = default;
    Expected(E problem) : problem_(detail::Failed(std::move(problem))) {}
    static Expected Success() { return {}; }
    static Expected Failure(FailureKind kind,
                            std::string text) requires std::is_same_v<E, Problem> {
        return Problem{kind, std::move(text)};
    }

    bool ok() const { return !problem_.has_value(); }
    // The failure; only when not ok().
    const E& problem() const { return *problem_; }
    FailureKind kind() const requires std::is_same_v<E, Problem> {
        return ok() ? FailureKind::kNone : problem_->kind;
    }
    // What went wrong, e.g. "Access denied (insufficient permissions)"; empty on success.
    const std::string& text() const requires std::is_same_v<E, Problem> {
        return ok() ? detail::kNoText : problem_->text;
    }
    bool operator==(const Expected&) const = default;

  private:
    std::optional<E> problem_;
};

}  // namespace qv
