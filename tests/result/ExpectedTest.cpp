#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "result/Expected.h"

namespace qv {
namespace {

// Scripts and traffic logs read these names: a changed spelling breaks them.
TEST(FailureKind, NamesStayAsScriptsReadThem) {
    const struct {
        FailureKind kind;
        const char* name;
    } cases[] = {
        {FailureKind::kNone, "none"},          {FailureKind::kPermission, "permission"},
        {FailureKind::kNotFound, "not-found"}, {FailureKind::kGone, "gone"},
        {FailureKind::kTimedOut, "timed-out"}, {FailureKind::kStalled, "stalled"},
        {FailureKind::kRefused, "refused"},    {FailureKind::kShortTransfer, "short-transfer"},
        {FailureKind::kBusy, "busy"},          {FailureKind::kNoMoreItems, "no-more-items"},
        {FailureKind::kNotSent, "not-sent"},   {FailureKind::kOther, "other"},
    };
    for (const auto& c : cases) EXPECT_STREQ(FailureKindName(c.kind), c.name);
}

// Whatever kind a problem names, it never reads as success, and its words reach the caller.
TEST(Expected, AProblemIsNeverASuccess) {
    const struct {
        Problem problem;
        FailureKind kind;
    } cases[] = {
        {{FailureKind::kGone, "unplugged"}, FailureKind::kGone},
        {{FailureKind::kOther, ""}, FailureKind::kOther},
        {{FailureKind::kNone, "a failure that forgot its kind"}, FailureKind::kOther},
    };
    for (const auto& c : cases) {
        const Expected<void> done = c.problem;
        const Expected<std::unique_ptr<int>> made = c.problem;
        EXPECT_FALSE(done.ok()) << c.problem.text;
        EXPECT_FALSE(made.ok()) << c.problem.text;
        EXPECT_EQ(done.kind(), c.kind);
        EXPECT_EQ(made.kind(), c.kind);
        EXPECT_EQ(done.text(), c.problem.text);
        EXPECT_EQ(made.text(), c.problem.text);
        EXPECT_NE(done, Expected<void>::Success());
    }
}

TEST(Expected, ASuccessHoldsItsValueAndNoText) {
    Expected<std::unique_ptr<int>> made = std::make_unique<int>(7);
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(**made, 7);
    EXPECT_EQ(made.kind(), FailureKind::kNone);
    EXPECT_EQ(made.text(), "");
    const Expected<std::string> named = "state.bin";
    EXPECT_EQ(*named, "state.bin");
    EXPECT_EQ(Expected<void>::Success().kind(), FailureKind::kNone);
    EXPECT_EQ(Expected<void>::Success().text(), "");
}

}  // namespace
}  // namespace qv
