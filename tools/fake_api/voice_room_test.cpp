// The voice room over real HTTP, read back with the plugin's own answer parser.
#include "tools/fake_api/voice_room.h"

#include <httplib.h>
#include <gtest/gtest.h>

#include "voice/exchange.h"

namespace hm::fake {
namespace {

std::string Body(std::uint64_t cursor, const std::string& samples) {
    std::string s;
    for (int i = 0; i < 8; ++i) s.push_back(char((cursor >> (8 * i)) & 0xFF));
    return s + samples;
}

struct RoomFixture : ::testing::Test {
    FakeApi api;
    VoiceRoom room;
    httplib::Client client{"127.0.0.1", api.port()};
    RoomFixture() { room.Attach(api); }
    httplib::Result Post(std::uint64_t cursor, const std::string& samples, int channel, const std::string& token = "t") {
        httplib::Headers h = {{"Authorization", "Bearer " + token}};
        return client.Post((api.BasePath() + "/voice/exchange?channel=" + std::to_string(channel)).c_str(), h,
                           Body(cursor, samples), "application/octet-stream");
    }
};

TEST_F(RoomFixture, PeersSpeakWhenScriptedAndTheLoopbackRepeatsTheSentSamples) {
    room.AddPeer({3, 128, std::string(160, '\x11'), 1, 2});
    room.SetLoopback(7, 200);
    auto first = Post(0, std::string(200, '\x22'), 0);
    ASSERT_TRUE(first);
    const VoiceAnswer a = ParseVoiceAnswer(first->body);
    ASSERT_EQ(a.frames.size(), 1u);
    EXPECT_EQ(a.frames[0].speaker, 7);
    EXPECT_EQ(a.frames[0].gain, 200);
    EXPECT_EQ(first->body.substr(a.frames[0].offset, a.frames[0].count), std::string(200, '\x22'));

    auto second = Post(a.cursor, "", 1);  // bare cursor: only the scripted peer
    ASSERT_TRUE(second);
    const VoiceAnswer b = ParseVoiceAnswer(second->body);
    ASSERT_EQ(b.frames.size(), 1u);
    EXPECT_EQ(b.frames[0].speaker, 3);
    auto third = Post(12345, "", 0);  // wrong cursor echoed
    ASSERT_TRUE(third);
    EXPECT_TRUE(ParseVoiceAnswer(third->body).frames.empty());

    const auto seen = room.Exchanges();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].channel, 0);
    EXPECT_EQ(seen[1].channel, 1);
    EXPECT_EQ(seen[0].samples.size(), 200u);
    EXPECT_TRUE(seen[0].cursor_ok);
    EXPECT_TRUE(seen[1].cursor_ok);
    EXPECT_FALSE(seen[2].cursor_ok);
    EXPECT_EQ(seen[0].frames, 1);
}

TEST_F(RoomFixture, CapabilityAndScriptedFaults) {
    room.SetCapability("35");
    auto cap = client.Get((api.BasePath() + "/voice/capabilities").c_str());
    ASSERT_TRUE(cap);
    EXPECT_EQ(cap->body, "35");
    EXPECT_EQ(room.CapabilityRequests(), 1);
    room.FailNextExchanges(403);
    auto refused = Post(0, "", 0);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    auto after = Post(0, "", 0);  // the cursor did not move on the refusal
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_TRUE(room.Exchanges()[1].cursor_ok);
}

}  // namespace
}  // namespace hm::fake
