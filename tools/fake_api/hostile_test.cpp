// The hostile mode's choices: replayable from the seed, every lie reached, valid answers in
// between, limits met exactly, and never the cut Wine's WinHTTP dies of.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tools/fake_api/hostile.h"

namespace hm::fake {
namespace {

RecordedRequest Get(const std::string& path) {
    RecordedRequest r;
    r.method = "GET";
    r.path = path;
    return r;
}

TEST(Hostile, ReplaysFromTheSeedAndReachesEveryLie) {
    HostileAnswers a(1234, true), b(1234, true), other(99, true);
    bool differs = false;
    const char* const paths[] = {"/state", "/client/release", "/client/update", "/tv/state", "/photo/5"};
    for (int i = 0; i < 2000; ++i) {
        const RecordedRequest request = Get(paths[i % 5]);
        const Reply valid{200, "OK\n1\n5\n1\n"};
        const Reply x = a.Twist(request, valid), y = b.Twist(request, valid), z = other.Twist(request, valid);
        ASSERT_EQ(AnswerBytes(x, true), AnswerBytes(y, true)) << i;
        ASSERT_EQ(x.cut_at, y.cut_at);
        ASSERT_EQ(x.delay_ms, y.delay_ms);
        differs = differs || AnswerBytes(x, true) != AnswerBytes(z, true);
        EXPECT_FALSE(WineCrashingCut(x)) << i;
        if (i % 2 == 0) {
            EXPECT_EQ(AnswerBytes(x, true), AnswerBytes(valid, true)) << "every other answer is valid";
        }
        EXPECT_LE(x.delay_ms, 5500);
    }
    EXPECT_TRUE(differs);
    const auto counts = a.Counts();
    for (int lie = 0; lie < int(Lie::kCount); ++lie) EXPECT_GT(counts[lie], 0) << LieName(Lie(lie));
    EXPECT_EQ(a.Answers(), 2000);
}

TEST(Hostile, LimitsAreMetAtAndOneBytePast) {
    HostileAnswers h(7, false);
    std::map<std::string, std::set<std::size_t>> sizes;
    for (int i = 0; i < 8000; ++i) {
        const char* path = (i / 2) % 2 ? "/client/release" : "/client/update";  // each meets lies too
        const Reply r = h.Twist(Get(path), Reply{200, "HMPLUGIN\n17306\n1.01\n"});
        sizes[path].insert(r.body.size());
    }
    EXPECT_TRUE(sizes["/client/release"].count(128) && sizes["/client/release"].count(129));
    EXPECT_TRUE(sizes["/client/update"].count(256) && sizes["/client/update"].count(257));
}

}  // namespace
}  // namespace hm::fake
