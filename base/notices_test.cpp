// Notice timing: repeat suppression, display time, sticky notices, status line.
#include <gtest/gtest.h>

#include "base/notices.h"

namespace hm {
namespace {

TEST(Notices, RepeatWithinSixtySecondsIsDroppedAndShownAgainAfter) {
    NoticeState s;
    PostNotice(s, 1000, L"A", false);
    EXPECT_EQ(s.current, L"A");
    EXPECT_EQ(s.display_deadline, 13000u);
    PostNotice(s, 2000, L"B", false);
    PostNotice(s, 3000, L"B", false);  // dropped: B accepted at 2000
    EXPECT_EQ(s.display_deadline, 14000u);
    PostNotice(s, 61999, L"B", false);  // still inside 60 s of 2000
    EXPECT_EQ(s.display_deadline, 14000u);
    PostNotice(s, 62000, L"B", false);  // 60 s passed
    EXPECT_EQ(s.display_deadline, 74000u);
    EXPECT_EQ(s.repeat_deadline, 122000u);
    // Another text in between resets the comparison.
    PostNotice(s, 63000, L"C", false);
    PostNotice(s, 63001, L"B", false);
    EXPECT_EQ(s.current, L"B");
}

TEST(Notices, StickyNeverExpiresIsAlwaysShownAndIsReplacedByALaterNotice) {
    NoticeState s;
    PostNotice(s, 100, L"Pairing", true);
    EXPECT_EQ(s.display_deadline, kNeverExpires);
    PostNotice(s, 200, L"Pairing", true);  // sticky repeats are not suppressed
    EXPECT_EQ(s.repeat_deadline, 60200u);
    PostNotice(s, 300, L"Other", false);
    EXPECT_EQ(s.current, L"Other");
    EXPECT_EQ(s.display_deadline, 12300u);
}

TEST(Notices, StatusLastsTwentySeconds) {
    NoticeState s;
    PostStatus(s, 5000, L"Hlas");
    EXPECT_EQ(s.status, L"Hlas");
    EXPECT_EQ(s.status_deadline, 25000u);
    EXPECT_TRUE(s.current.empty());
}

}  // namespace
}  // namespace hm
