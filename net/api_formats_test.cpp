#include "net/api_formats.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

namespace hm {
namespace {

const std::string kToken(64, 'a');
const std::string kToken2 = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kBind = "0123456789ab";
const std::string kSha = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

// Runs the call and returns the runtime error's text, or "" when nothing was thrown.
template <typename F>
std::string ErrorOf(F&& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(BodyLines, LfOnlySeparatesAndFinalLfClosesTheLastLine) {
    struct Case {
        std::string body;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\n", {"a", ""}},
        {"a\r\nb\r\n", {"a\r", "b\r"}},
        {"\n", {""}},
        {"\n\n", {"", ""}},
    };
    for (const auto& c : cases) {
        auto lines = SplitBodyLines(c.body);
        std::vector<std::string> got(lines.begin(), lines.end());
        EXPECT_EQ(got, c.lines) << "body: " << testing::PrintToString(c.body);
    }
}

TEST(SessionGrantBody, AcceptsTokenAndBindCodeIgnoringLaterLines) {
    for (const std::string& body : {kToken2 + "\n" + kBind, kToken2 + "\n" + kBind + "\n",
                                    kToken2 + "\n" + kBind + "\nanything\nmore"}) {
        auto grant = ParseSessionGrant(body);
        ASSERT_TRUE(grant) << body;
        EXPECT_EQ(grant->token, kToken2);
        EXPECT_EQ(grant->bind_code, kBind);
    }
}

TEST(SessionGrantBody, RejectsMalformedBodies) {
    std::string upper = kToken2;
    upper[10] = 'A';
    const std::string bad[] = {
        "",
        kToken2,                                  // no line 2
        kToken2 + "\n",                           // still no line 2
        upper + "\n" + kBind,                     // upper-case token
        kToken2.substr(1) + "\n" + kBind,         // 63 characters
        kToken2 + "0\n" + kBind,                  // 65 characters
        kToken2 + "\n" + kBind + "c",             // 13-character bind code
        kToken2 + "\n" + kBind.substr(1),         // 11-character bind code
        kToken2 + "\n0123456789aB",               // upper-case bind code
        kToken2 + "\r\n" + kBind,                 // CR belongs to the token line
        kToken2 + "\n" + kBind.substr(0, 11) + "g",
        "\n" + kToken2 + "\n" + kBind,            // leading empty line
    };
    for (const auto& body : bad) EXPECT_FALSE(ParseSessionGrant(body)) << body;
}

TEST(StateBody, ReadsWaitAndOkInWordMode) {
    struct Case {
        std::string body;
        StateKind kind;
        std::int32_t request, id, revision;
    };
    const Case cases[] = {
        {"WAIT", StateKind::Wait, 0, 0, 0},
        {"WAIT\n", StateKind::Wait, 0, 0, 0},
        {"  \r\n\tWAIT extra words", StateKind::Wait, 0, 0, 0},
        {"OK 5 0", StateKind::Ok, 5, 0, 0},
        {"OK\n5\n0\n", StateKind::Ok, 5, 0, 0},
        {"OK\r\n5\r\n0\r\n", StateKind::Ok, 5, 0, 0},
        {"OK 7 12 3", StateKind::Ok, 7, 12, 3},
        {"OK\t7\t12\t3\n", StateKind::Ok, 7, 12, 3},
        {"OK 7 12 3 99 extra", StateKind::Ok, 7, 12, 3},
        {"OK 2147483647 1 -4", StateKind::Ok, 2147483647, 1, -4},
        {"OK -1 -2", StateKind::Ok, -1, -2, 0},  // range is checked later
        {"OK +3 4", StateKind::Ok, 3, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.body));
        StateAnswer a = ParseStateBody(c.body);
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.snapshot.photo_request, c.request);
        EXPECT_EQ(a.snapshot.shown_photo_id, c.id);
        EXPECT_EQ(a.snapshot.shown_photo_revision, c.revision);
    }
}

TEST(StateBody, RejectsOtherKeywordsAndUnreadableNumbers) {
    const std::string bad[] = {
        "", " \r\n\t", "wait", "ok 1 2", "WAITING", "OKAY 1 2", "OK", "OK 5", "OK 5\n",
        "OK x 0", "OK 5 y", "OK 5 0x1", "OK 2147483648 0", "OK 0 -2147483649", "OK - 1",
        "OK 5 0 rev", "\"OK\" 1 2",
    };
    for (const auto& body : bad)
        EXPECT_EQ(ErrorOf([&] { ParseStateBody(body); }), "invalid state protocol")
            << testing::PrintToString(body);
}

TEST(StateBody, RangeCheckRejectsNegativeRequestOrId) {
    EXPECT_EQ(ErrorOf([] { CheckStateRange({-1, 0, 0}); }), "invalid state");
    EXPECT_EQ(ErrorOf([] { CheckStateRange({0, -1, 0}); }), "invalid state");
    EXPECT_EQ(ErrorOf([] { CheckStateRange({0, 0, -1}); }), "");  // revision is not checked
    EXPECT_EQ(ErrorOf([] { CheckStateRange({0, 0, 0}); }), "");
}

TEST(PresenceUpgradeBody, ReadsBuildWithStoiRulesAndVersionAsIs) {
    struct Case {
        std::string body;
        int build;
        std::string version;
    };
    const Case cases[] = {
        {"HMPLUGIN\n17306\n1.01\n", 17306, "1.01"},
        {"ignored line\n  +17400xyz\n2.0 beta\r", 17400, "2.0 beta\r"},
        {"\n\t-5\n", -5, ""},
        {"\n17305", 17305, ""},
        {"\n2147483647\nv", 2147483647, "v"},
        {"\n-2147483648\nv", -2147483648, "v"},
        {"\n\r 00017306\nv\nmore", 17306, "v"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.body));
        RequiredUpdate r = ParsePresenceUpgrade(c.body);
        EXPECT_EQ(r.build, c.build);
        EXPECT_EQ(r.version, c.version);
    }
    struct Bad {
        std::string body;
        const char* error;
    };
    const Bad bad[] = {
        {"", "invalid stoi argument"},
        {"HMPLUGIN", "invalid stoi argument"},
        {"HMPLUGIN\n", "invalid stoi argument"},
        {"x\nabc\n", "invalid stoi argument"},
        {"x\n+\n", "invalid stoi argument"},
        {"x\n- 5\n", "invalid stoi argument"},
        {"x\n2147483648\n", "stoi argument out of range"},
        {"x\n-2147483649\n", "stoi argument out of range"},
        {"x\n99999999999999999999999\n", "stoi argument out of range"},
    };
    for (const auto& b : bad)
        EXPECT_EQ(ErrorOf([&] { ParsePresenceUpgrade(b.body); }), b.error)
            << testing::PrintToString(b.body);
}

TEST(TvStateBody, RecognisesTvWithValueInRange) {
    EXPECT_EQ(ParseTvState("TV 1"), 1);
    EXPECT_EQ(ParseTvState("\r\nTV\n32767\nmore"), 32767);
    for (const char* body : {"", "TV", "TV 0", "TV 32768", "TV -3", "tv 5", "TV x", "OK 5",
                                    "TVX 5", "TV 5x"})
        EXPECT_FALSE(ParseTvState(body)) << body;
}

// Release body of exactly n bytes: a valid body padded inside the version line.
std::string ReleaseBodyOfSize(std::size_t n) {
    std::string head = "HMPLUGIN\n17306\n";
    return head + std::string(n - head.size(), '9');
}

TEST(ReleaseBody, AcceptsValidBodies) {
    struct Case {
        std::string body;
        std::int32_t build;
        std::string version;
    };
    const Case cases[] = {
        {"HMPLUGIN\n17306\n1.01", 17306, "1.01"},
        {"HMPLUGIN\n17306\n1.01\n", 17306, "1.01"},
        {"HMPLUGIN\n1\nA-z.9\n", 1, "A-z.9"},
        {"HMPLUGIN\n999999999\n" + std::string(24, 'v') + "\n", 999999999, std::string(24, 'v')},
    };
    for (const auto& c : cases) {
        ReleaseInfo r = ParseReleaseBody(c.body);
        EXPECT_EQ(r.build, c.build);
        EXPECT_EQ(r.version, c.version);
    }
}

TEST(ReleaseBody, SizeLimitComesBeforeAnythingElse) {
    // 128 bytes pass the size check (and then fail on the 24-character version limit, which
    // shows the size check let them through); 129 fail on size alone, even when garbage.
    EXPECT_EQ(ErrorOf([] { ParseReleaseBody(ReleaseBodyOfSize(128)); }), "invalid release version");
    EXPECT_EQ(ErrorOf([] { ParseReleaseBody(ReleaseBodyOfSize(129)); }),
              "release response too large");
    EXPECT_EQ(ErrorOf([] { ParseReleaseBody(std::string(129, '\n')); }),
              "release response too large");
    std::string full = "HMPLUGIN\n17306\n1.01\n";
    full += std::string(128 - full.size(), '\n');  // 128 bytes, too many lines
    EXPECT_EQ(ErrorOf([&] { ParseReleaseBody(full); }), "invalid release response");
}

TEST(ReleaseBody, RejectsEachMalformedLineWithItsText) {
    struct Bad {
        std::string body;
        const char* error;
    };
    const Bad bad[] = {
        {"", "invalid release response"},
        {"HMPLUGIN", "invalid release response"},
        {"HMPLUGIN\n17306", "invalid release response"},
        {"HMPLUGIN\n17306\n", "invalid release response"},
        {"hmplugin\n17306\n1.0", "invalid release response"},
        {"HMPLUGIN\r\n17306\r\n1.0\r\n", "invalid release response"},
        {"HMPLUGINX\n17306\n1.0", "invalid release response"},
        {"HMPLUGIN\n17306\n1.0\n\n", "invalid release response"},
        {"HMPLUGIN\n17306\n1.0\n\nx", "invalid release response"},
        {"HMPLUGIN\n17306\n1.0\nextra", "invalid release response"},
        {"HMPLUGIN\n017306\n1.0", "invalid release build"},
        {"HMPLUGIN\n0\n1.0", "invalid release build"},
        {"HMPLUGIN\n\n1.0", "invalid release build"},
        {"HMPLUGIN\n1234567890\n1.0", "invalid release build"},
        {"HMPLUGIN\n+17306\n1.0", "invalid release build"},
        {"HMPLUGIN\n17306\r\n1.0", "invalid release build"},
        {"HMPLUGIN\n17306\n1.0 beta", "invalid release version"},
        {"HMPLUGIN\n17306\n1.0\r\n", "invalid release version"},
        {"HMPLUGIN\n17306\n" + std::string(25, '1'), "invalid release version"},
        {"HMPLUGIN\n17306\n1_0", "invalid release version"},
        {"HMPLUGIN\n17306\n\xc3\xa1", "invalid release version"},
    };
    for (const auto& b : bad)
        EXPECT_EQ(ErrorOf([&] { ParseReleaseBody(b.body); }), b.error)
            << testing::PrintToString(b.body);
}

std::string UpdateBody(const std::string& build, const std::string& version,
                       const std::string& size, const std::string& sha, const std::string& tail = "\n") {
    return "HMUPDATE\n" + build + "\n" + version + "\n" + size + "\n" + sha + tail;
}

TEST(UpdateBody, AcceptsValidBodies) {
    UpdateInfo u = ParseUpdateBody(UpdateBody("17306", "1.01", "123456", kSha));
    EXPECT_EQ(u.release.build, 17306);
    EXPECT_EQ(u.release.version, "1.01");
    EXPECT_EQ(u.size, 123456u);
    EXPECT_EQ(u.sha256, kSha);
    EXPECT_EQ(ParseUpdateBody(UpdateBody("1", "a", "000000001", kSha, "")).size, 1u);
    EXPECT_EQ(ParseUpdateBody(UpdateBody("1", "a", "536870912", kSha)).size, 536870912u);
}

TEST(UpdateBody, SizeLimitComesBeforeAnythingElse) {
    // Pad the version up to the wanted total; a long version then fails on the release rules.
    auto of_size = [](std::size_t n) {
        std::string body = UpdateBody("17306", "", "1", kSha);
        return UpdateBody("17306", std::string(n - body.size(), 'v'), "1", kSha);
    };
    ASSERT_EQ(of_size(256).size(), 256u);
    EXPECT_EQ(ErrorOf([&] { ParseUpdateBody(of_size(256)); }), "release response too large");
    EXPECT_EQ(ErrorOf([&] { ParseUpdateBody(of_size(257)); }), "update metadata too large");
    EXPECT_EQ(ErrorOf([] { ParseUpdateBody(std::string(257, 'x')); }), "update metadata too large");
}

TEST(UpdateBody, RejectsEachMalformedPartWithItsText) {
    std::string upper_sha = kSha;
    upper_sha[0] = 'A';
    struct Bad {
        std::string body;
        const char* error;
    };
    const Bad bad[] = {
        {"", "invalid update metadata"},
        {"HMUPDATE\n17306\n1.0\n1", "invalid update metadata"},
        {UpdateBody("17306", "1.0", "1", kSha, "\n\n"), "invalid update metadata"},
        {UpdateBody("17306", "1.0", "1", kSha, "\nx"), "invalid update metadata"},
        {"HMPLUGIN\n17306\n1.0\n1\n" + kSha, "invalid update metadata"},
        {"HMUPDATE\r\n17306\n1.0\n1\n" + kSha, "invalid update metadata"},
        {UpdateBody("17306", "1.0", "1234567890", kSha), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "", kSha), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "-1", kSha), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "12\r", kSha), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "1", upper_sha), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "1", kSha.substr(1)), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "1", kSha, "\r\n"), "invalid update hash/size"},
        {UpdateBody("17306", "1.0", "0", kSha), "update too large"},
        {UpdateBody("17306", "1.0", "000000000", kSha), "update too large"},
        {UpdateBody("17306", "1.0", "536870913", kSha), "update too large"},
        {UpdateBody("17306", "1.0", "999999999", kSha), "update too large"},
        {UpdateBody("017306", "1.0", "1", kSha), "invalid release build"},
        {UpdateBody("", "1.0", "1", kSha), "invalid release build"},
        {UpdateBody("17306", "1 0", "1", kSha), "invalid release version"},
        {UpdateBody("17306", "", "1", kSha), "invalid release version"},
    };
    for (const auto& b : bad)
        EXPECT_EQ(ErrorOf([&] { ParseUpdateBody(b.body); }), b.error)
            << testing::PrintToString(b.body);
}

// Mutations of valid bodies must only ever produce runtime errors: nothing reads past the
// input, nothing throws another exception type.
TEST(ApiFormatsFuzz, MutatedBodiesOnlyRaiseRuntimeErrors) {
    const std::string seeds[] = {
        kToken2 + "\n" + kBind + "\n", "OK 5 0 1\n", "WAIT\n", "x\n17306\n1.0\n", "TV 12",
        "HMPLUGIN\n17306\n1.01\n", UpdateBody("17306", "1.01", "1234", kSha),
    };
    const char alphabet[] = {'\n', '\r', ' ', '\t', '0', '9', '-', '+', 'a', 'F', '\0', '\xff'};
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string body = seeds[rng() % std::size(seeds)];
        int edits = 1 + rng() % 4;
        for (int e = 0; e < edits; ++e) {
            std::size_t at = body.empty() ? 0 : rng() % (body.size() + 1);
            switch (rng() % 3) {
                case 0: body.insert(body.begin() + at, alphabet[rng() % sizeof alphabet]); break;
                case 1: if (at < body.size()) body.erase(at, 1 + rng() % 3); break;
                default: if (at < body.size()) body[at] = alphabet[rng() % sizeof alphabet]; break;
            }
        }
        ASSERT_NO_THROW(FuzzApiFormats(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()))
            << testing::PrintToString(body);
    }
}

}  // namespace
}  // namespace hm
