// The NPC stage over real HTTP, its manifests read back with the plugin's own parser.
#include "tools/fake_api/npc_stage.h"

#include <httplib.h>
#include <gtest/gtest.h>

#include <thread>

#include "npc/manifest.h"

namespace hm::fake {
namespace {

struct StageFixture : ::testing::Test {
    FakeApi api;
    NpcStage stage;
    httplib::Client client{"127.0.0.1", api.port()};
    StageFixture() { stage.Attach(api); }
    httplib::Result Get(const std::string& path) {
        return client.Get((api.BasePath() + path).c_str(), httplib::Headers{{"Authorization", "Bearer t"}});
    }
    NpcManifest Manifest(const std::string& query) {
        auto r = Get("/npc-voice/events?" + query);
        EXPECT_TRUE(r);
        return ParseNpcManifest(r ? r->body : std::string());
    }
};

NpcStageEvent Event(std::uint64_t id, std::size_t bytes) {
    NpcStageEvent e;
    e.id = id;
    e.npc = 12;
    e.delay_ms = 300;
    e.clip = std::string(bytes, char(id));
    return e;
}

TEST_F(StageFixture, CursorRepeatsAndClips) {
    NpcStageEvent a = Event(41, 200);
    a.repeat = true;
    a.short_once = true;
    stage.Add(a);
    stage.Add(Event(42, 160));
    EXPECT_TRUE(Manifest("after=0&init=1").events.empty()) << "nothing announced yet";
    stage.Announce(41);
    stage.Announce(42);
    const NpcManifest m = Manifest("after=0&init=1");
    EXPECT_EQ(m.cursor, 42u);
    ASSERT_EQ(m.events.size(), 2u);
    EXPECT_EQ(m.events[0].hash, NpcClipHash(a.clip));
    EXPECT_EQ(m.events[0].bytes, 200u);
    const NpcManifest later = Manifest("after=42");
    ASSERT_EQ(later.events.size(), 1u) << "the repeated event comes back behind the cursor";
    EXPECT_EQ(later.events[0].id, 41u);
    EXPECT_EQ(later.cursor, 42u);
    EXPECT_EQ(Get("/npc-voice/audio?id=41")->body.size(), 199u);
    EXPECT_EQ(Get("/npc-voice/audio?id=41")->body, a.clip);
    EXPECT_EQ(Get("/npc-voice/audio?id=43")->status, 404);
    EXPECT_EQ(stage.Count("audio", 41), 2);
    EXPECT_TRUE(stage.Seen()[1].init);
}

TEST_F(StageFixture, NearChangesOverTimeAndManifestsBreak) {
    NpcStageEvent e = Event(43, 160);
    e.near = {{0, 200, "255"}, {150, 200, "0"}, {300, 409, ""}};
    stage.Add(e);
    stage.Announce(43);
    EXPECT_EQ(Get("/npc-voice/near?id=43")->body, "255");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Get("/npc-voice/near?id=43")->body, "0");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(Get("/npc-voice/near?id=43")->status, 409);
    stage.SetNear(43, {{0, 404, ""}});
    EXPECT_EQ(Get("/npc-voice/near?id=43")->status, 404);

    stage.BreakNextManifests("hmnpc1 5 0");
    EXPECT_EQ(Get("/npc-voice/events?after=0")->body, "hmnpc1 5 0");
    EXPECT_EQ(Manifest("after=0").cursor, 43u);

    NpcStageEvent armed = Event(50, 160);
    armed.after_arm_ms = 0;
    stage.Add(armed);
    EXPECT_EQ(Manifest("after=43").events.size(), 0u);
    stage.Arm();
    EXPECT_EQ(Manifest("after=43").events.size(), 1u);
}

}  // namespace
}  // namespace hm::fake
