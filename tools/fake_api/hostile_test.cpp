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
        if ((i / 5) % 2 == 0) {
            EXPECT_EQ(AnswerBytes(x, true), AnswerBytes(valid, true)) << "every other answer of a path is valid";
        }
        EXPECT_LE(x.delay_ms, 5500);
    }
    EXPECT_TRUE(differs);
    const auto counts = a.Counts();
    for (int lie = 0; lie < int(Lie::kCount); ++lie) EXPECT_GT(counts[lie], 0) << LieName(Lie(lie));
    EXPECT_EQ(a.Answers(), 2000);
}

// A rare request among a flood of others still gets a valid answer every second time: a shot's
// upload between voice exchanges must be able to succeed.
TEST(Hostile, EachEndpointAlternatesOnItsOwn) {
    HostileAnswers h(42, true);
    const Reply created{201, ""};
    int uploads = 0, validUploads = 0;
    for (int i = 0; i < 600; ++i) {
        const int flood = 1 + (i * 7919) % 5;  // an uneven number of others in between
        for (int k = 0; k < flood; ++k) h.Twist(Get("/voice/exchange"), Reply{200, "HMV1"});
        RecordedRequest upload = Get("/upload");
        upload.method = "POST";
        const Reply r = h.Twist(upload, created);
        if (uploads++ % 2 == 0) {
            EXPECT_EQ(AnswerBytes(r, true), AnswerBytes(created, true)) << "upload " << uploads;
            ++validUploads;
        }
    }
    EXPECT_EQ(validUploads, 300);
}

// A lie never revokes the remembered device: the wrong statuses of /resume are never 401 or 403
// (those make the plugin forget it, and the rest of a soak would stay disconnected).
TEST(Hostile, ResumeIsNeverRevokedByALie) {
    HostileAnswers h(5, true);
    std::set<int> statuses;
    for (int i = 0; i < 6000; ++i) {
        RecordedRequest resume = Get("/resume");
        resume.method = "POST";
        const Reply r = h.Twist(resume, Reply{201, std::string(64, 'a') + "\n0123456789ab\n"});
        statuses.insert(r.status);
        EXPECT_NE(r.status, 401);
        EXPECT_NE(r.status, 403);
    }
    EXPECT_TRUE(statuses.count(503) && statuses.count(404)) << "the other wrong statuses still come";
    EXPECT_GT(h.Counts()[int(Lie::kWrongStatus)], 100);
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
