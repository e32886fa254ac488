#include "npc/events.h"
#include "npc/test_hashes.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hm {
namespace {

std::string Event(std::uint64_t id, int gain, int delay, std::size_t bytes, int hash) {
    return std::to_string(id) + " 12 " + std::to_string(gain) + " " + std::to_string(delay) + " " +
           std::to_string(bytes) + " " + test::NpcHash(hash) + "\n";
}

// A scripted server: answers by path (query included), the last answer of a list repeats; every
// request is logged. An unscripted path answers 404.
struct Server {
    std::map<std::string, std::deque<ApiResponse>> answers;
    std::vector<std::string> log;
    std::vector<std::string> bearers;
    bool fail_transport = false;

    void Set(const std::string& path, std::vector<ApiResponse> list) {
        answers[path] = std::deque<ApiResponse>(list.begin(), list.end());
    }
    ApiResponse Get(const std::string& path, const std::string& bearer) {
        log.push_back(path);
        bearers.push_back(bearer);
        if (fail_transport) throw std::runtime_error("connection failed");
        auto it = answers.find(path);
        if (it == answers.end() || it->second.empty()) return {404, ""};
        ApiResponse r = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
        return r;
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const auto& p : log) n += p.rfind(prefix, 0) == 0;
        return n;
    }
};

struct Rig {
    Server server;
    NpcState state;
    NpcEventsRecord record;
    NpcEventsSeams seams;
    NpcSession session{"7ea7", 1};
    Tick now = 1000;
    std::vector<int> sleeps;

    Rig() {
        seams.get = [this](const std::string& p, const std::string& b) { return server.Get(p, b); };
        seams.session = [this] { return session; };
        seams.now = [this] { return now; };
        seams.sleep = [this](int ms) {
            sleeps.push_back(ms);
            now += Tick(ms);
        };
    }
    void Pass() { NpcEventsPass(record, state, seams); }
    std::vector<std::uint64_t> Queued() {
        std::vector<std::uint64_t> ids;
        std::lock_guard<std::mutex> hold(state.queue_lock);
        for (const auto& item : state.queue) ids.push_back(item.event.id);
        return ids;
    }
};

TEST(NpcEvents, QueuesNearEventsAndAsksInitFirst) {
    Rig rig;
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 41 1\n" + Event(41, 255, 300, 200, 1)}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(200, '\x12')}});
    rig.server.Set("/npc-voice/near?id=41", {{200, "255"}});
    rig.server.Set("/npc-voice/events?after=41", {{200, "HMNPC1 41 0"}});
    rig.Pass();
    EXPECT_EQ(rig.server.log, (std::vector<std::string>{"/npc-voice/events?after=0&init=1", "/npc-voice/audio?id=41",
                                                        "/npc-voice/near?id=41"}));
    EXPECT_EQ(rig.server.bearers[0], "7ea7");
    ASSERT_EQ(rig.Queued(), std::vector<std::uint64_t>{41});
    {
        std::lock_guard<std::mutex> hold(rig.state.queue_lock);
        EXPECT_EQ(rig.state.queue.front().start, 1300u) << "queued at 1000 with a delay of 300 ms";
        EXPECT_EQ(rig.state.queue.front().clip->size(), 200u);
    }
    EXPECT_EQ(rig.record.cursor, 41u);
    EXPECT_EQ(rig.state.cursor.load(), 41u);
    EXPECT_EQ(rig.state.cached_clips.load(), 1);
    EXPECT_EQ(rig.state.cached_bytes.load(), 200);
    EXPECT_EQ(rig.sleeps.back(), 800);
    rig.Pass();
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/events?after=41") << "init only on the first request";
}

TEST(NpcEvents, ShortAudioRetriedThroughIdMinusOne) {
    Rig rig;
    const std::string manifest = "HMNPC1 50 2\n" + Event(41, 255, 0, 200, 1) + Event(42, 255, 0, 160, 2);
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, manifest}});
    rig.server.Set("/npc-voice/events?after=40", {{200, manifest}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(199, 'x')}, {200, std::string(200, 'x')}});
    rig.server.Set("/npc-voice/audio?id=42", {{200, std::string(160, 'y')}});
    rig.server.Set("/npc-voice/near?id=41", {{200, "255"}});
    rig.server.Set("/npc-voice/near?id=42", {{200, "255"}});
    rig.Pass();
    EXPECT_EQ(rig.record.cursor, 40u) << "one byte short: left for later";
    EXPECT_EQ(rig.Queued(), std::vector<std::uint64_t>{42}) << "the next event goes on";
    EXPECT_EQ(rig.record.cache.clips(), 1u) << "the short clip never entered the cache";
    rig.Pass();
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/near?id=41");
    EXPECT_EQ(rig.Queued(), (std::vector<std::uint64_t>{42, 41}));
    EXPECT_EQ(rig.record.cursor, 50u);
    EXPECT_EQ(rig.server.Count("/npc-voice/audio?id=42"), 1) << "42 was seen: neither fetched nor queued again";
}

TEST(NpcEvents, AudioAnswersThatLeaveTheEventForLater) {
    for (const ApiResponse& bad : {ApiResponse{200, ""}, ApiResponse{200, std::string(161, 'x')},
                                   ApiResponse{200, std::string(159, 'x')}, ApiResponse{404, std::string(160, 'x')},
                                   ApiResponse{500, ""}}) {
        Rig rig;
        rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 99 1\n" + Event(41, 255, 0, 160, 1)}});
        rig.server.Set("/npc-voice/audio?id=41", {bad});
        rig.Pass();
        EXPECT_EQ(rig.record.cursor, 40u) << bad.status << " " << bad.body.size();
        EXPECT_EQ(rig.record.cache.clips(), 0u);
        EXPECT_EQ(rig.server.Count("/npc-voice/near"), 0);
    }
}

TEST(NpcEvents, NearAnswers) {
    struct Case {
        int status;
        bool queued;
        std::uint64_t cursor;
    } cases[] = {{200, true, 99}, {404, false, 99}, {403, false, 99}, {204, false, 99},
                 {409, false, 40}, {500, false, 40}, {503, false, 40}};
    for (const Case& c : cases) {
        Rig rig;
        rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 99 1\n" + Event(41, 255, 0, 160, 1)}});
        rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
        rig.server.Set("/npc-voice/near?id=41", {{c.status, ""}});
        rig.Pass();
        EXPECT_EQ(rig.Queued().size(), c.queued ? 1u : 0u) << c.status;
        EXPECT_EQ(rig.record.cursor, c.cursor) << c.status;
        EXPECT_EQ(rig.record.seen.Contains(41), c.queued) << c.status;
    }
}

TEST(NpcEvents, FullQueueReturnsTheEventNextPass) {
    Rig rig;
    for (std::uint64_t id = 1; id <= 8; ++id) {
        NpcPlayItem item;
        item.event.id = id;
        AppendNpcItem(rig.state, item);
    }
    const std::string manifest = "HMNPC1 60 1\n" + Event(41, 255, 0, 160, 1);
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, manifest}});
    rig.server.Set("/npc-voice/events?after=40", {{200, manifest}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
    rig.server.Set("/npc-voice/near?id=41", {{200, ""}});
    rig.Pass();
    EXPECT_EQ(rig.record.cursor, 40u);
    EXPECT_FALSE(rig.record.seen.Contains(41));
    TakeDueNpcItem(rig.state, rig.now);
    rig.state.playing_id.store(0);
    rig.Pass();
    EXPECT_EQ(rig.server.log[3], "/npc-voice/events?after=40");
    EXPECT_EQ(rig.Queued().back(), 41u);
    EXPECT_EQ(rig.record.cursor, 60u);
    EXPECT_EQ(rig.server.Count("/npc-voice/audio"), 1) << "the clip came from the cache the second time";
}

TEST(NpcEvents, RepeatedEventQueuedOnce) {
    Rig rig;
    const std::string manifest = "HMNPC1 41 1\n" + Event(41, 255, 0, 160, 1);
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, manifest}});
    rig.server.Set("/npc-voice/events?after=41", {{200, manifest}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
    rig.server.Set("/npc-voice/near?id=41", {{200, ""}});
    for (int i = 0; i < 5; ++i) rig.Pass();
    EXPECT_EQ(rig.Queued().size(), 1u);
    EXPECT_EQ(rig.server.Count("/npc-voice/near"), 1);
    EXPECT_EQ(rig.server.Count("/npc-voice/audio"), 1);
}

TEST(NpcEvents, SameHashDownloadedOnce) {
    Rig rig;
    rig.server.Set("/npc-voice/events?after=0&init=1",
                   {{200, "HMNPC1 43 3\n" + Event(41, 255, 0, 160, 7) + Event(42, 255, 0, 160, 7) + Event(43, 255, 0, 160, 7)}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
    for (int id = 41; id <= 43; ++id) rig.server.Set("/npc-voice/near?id=" + std::to_string(id), {{200, ""}});
    rig.Pass();
    EXPECT_EQ(rig.Queued().size(), 3u);
    EXPECT_EQ(rig.server.Count("/npc-voice/audio"), 1);
    EXPECT_EQ(rig.record.audio_bytes, 160);
}

TEST(NpcEvents, BrokenManifestLeavesCursorAndAsksAgain) {
    Rig rig;
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 5 0"}});
    rig.Pass();
    ASSERT_EQ(rig.record.cursor, 5u);
    rig.server.Set("/npc-voice/events?after=5",
                   {{200, "HMNPC1 9 1\n" + Event(6, 255, 1501, 160, 1)}, {200, "hmnpc1 9 0"}, {200, "HMNPC1 9 0"}});
    rig.Pass();
    EXPECT_EQ(rig.record.last_failure, "NPC manifest event");
    EXPECT_EQ(rig.record.cursor, 5u);
    EXPECT_EQ(rig.server.Count("/npc-voice/audio"), 0) << "no event of a broken manifest is handled";
    EXPECT_EQ(rig.sleeps.back(), 800);
    rig.Pass();
    EXPECT_EQ(rig.record.last_failure, "NPC manifest header");
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/events?after=5");
    rig.Pass();
    EXPECT_EQ(rig.record.cursor, 9u);
}

TEST(NpcEvents, TransportFailureAbandonsThePass) {
    Rig rig;
    rig.record.cursor = 5;
    rig.record.ask_init = false;
    rig.record.started = true;
    rig.record.generation_seen = 1;
    rig.server.fail_transport = true;
    rig.Pass();
    EXPECT_EQ(rig.record.last_failure, "connection failed");
    EXPECT_EQ(rig.record.cursor, 5u);
    EXPECT_EQ(rig.sleeps.back(), 800);
}

TEST(NpcEvents, IdleAndRefusalAskInitAgain) {
    Rig rig;
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 5 0"}});
    rig.server.Set("/npc-voice/events?after=5", {{401, ""}});
    rig.server.Set("/npc-voice/events?after=5&init=1", {{200, "HMNPC1 6 0"}});
    rig.Pass();
    rig.state.gain.store(200);
    rig.Pass();
    EXPECT_EQ(rig.state.gain.load(), 0) << "401 silences the playing event";
    rig.Pass();
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/events?after=5&init=1");
    EXPECT_EQ(rig.record.cursor, 6u);

    // Without a token: no request, 200 ms naps, and init again once a token is back.
    const std::size_t before = rig.server.log.size();
    rig.session.token.clear();
    rig.Pass();
    rig.Pass();
    EXPECT_EQ(rig.server.log.size(), before);
    EXPECT_EQ(rig.sleeps.back(), 200);
    rig.session.token = "7ea7";
    rig.server.Set("/npc-voice/events?after=6&init=1", {{200, "HMNPC1 6 0"}});
    rig.Pass();
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/events?after=6&init=1");

    // Switched off: the same.
    rig.state.enabled.store(false);
    rig.Pass();
    EXPECT_EQ(rig.sleeps.back(), 200);
    rig.state.enabled.store(true);
    rig.Pass();
    EXPECT_EQ(rig.server.log.back(), "/npc-voice/events?after=6&init=1");
}

TEST(NpcEvents, GenerationChangeForgetsCursorAndSeen) {
    Rig rig;
    const std::string manifest = "HMNPC1 41 1\n" + Event(41, 255, 0, 160, 1);
    rig.server.Set("/npc-voice/events?after=0&init=1", {{200, manifest}});
    rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
    rig.server.Set("/npc-voice/near?id=41", {{200, ""}});
    rig.Pass();
    ASSERT_TRUE(rig.record.seen.Contains(41));
    ClearNpcQueue(rig.state);
    rig.session = {"beef", 2};
    rig.Pass();
    EXPECT_EQ(rig.server.log[3], "/npc-voice/events?after=0&init=1");
    EXPECT_EQ(rig.server.bearers[3], "beef");
    EXPECT_EQ(rig.Queued(), std::vector<std::uint64_t>{41}) << "a new session hears it again";
    EXPECT_EQ(rig.server.Count("/npc-voice/audio"), 1) << "the cache outlives the session";
}

TEST(NpcEvents, NearConfirmedAfterSessionChangeOrSwitchOffIsDropped) {
    for (int variant = 0; variant < 2; ++variant) {
        Rig rig;
        rig.server.Set("/npc-voice/events?after=0&init=1", {{200, "HMNPC1 41 1\n" + Event(41, 255, 0, 160, 1)}});
        rig.server.Set("/npc-voice/audio?id=41", {{200, std::string(160, 'x')}});
        rig.server.Set("/npc-voice/near?id=41", {{200, ""}});
        // The change lands while the near request is under way.
        rig.seams.get = [&rig, variant](const std::string& p, const std::string& b) {
            if (p.rfind("/npc-voice/near", 0) == 0) {
                if (variant == 0) rig.session.generation = 2;
                else rig.state.enabled.store(false);
            }
            return rig.server.Get(p, b);
        };
        rig.Pass();
        EXPECT_TRUE(rig.Queued().empty()) << variant;
        EXPECT_FALSE(rig.record.seen.Contains(41)) << variant;
        EXPECT_EQ(rig.record.cursor, 41u) << "dropped, not left for later";
    }
}

TEST(NpcEvents, GainRefreshOfThePlayingEvent) {
    struct Case {
        ApiResponse near;
        int gain;             // NpcGain afterwards
        bool events_asked;    // false: the pass was abandoned
    } cases[] = {
        {{200, "120"}, 120, true}, {{200, "0"}, 0, true},    {{200, "-5"}, 0, true},
        {{200, "300"}, 255, true}, {{200, "99999999999"}, 255, true},
        {{401, ""}, 0, true},      {{403, ""}, 0, true},     {{404, ""}, 0, true},
        {{409, ""}, 77, true},     {{500, ""}, 77, true},
        {{200, ""}, 77, false},    {{200, "abc"}, 77, false},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.record.started = true;
        rig.record.generation_seen = 1;
        rig.record.ask_init = false;
        rig.state.playing_id.store(43);
        rig.state.gain.store(77);
        rig.server.Set("/npc-voice/near?id=43", {c.near});
        rig.server.Set("/npc-voice/events?after=0", {{200, "HMNPC1 0 0"}});
        rig.Pass();
        EXPECT_EQ(rig.server.log[0], "/npc-voice/near?id=43");
        EXPECT_EQ(rig.state.gain.load(), c.gain) << c.near.status << " \"" << c.near.body << "\"";
        EXPECT_EQ(rig.server.Count("/npc-voice/events"), c.events_asked ? 1 : 0) << c.near.body;
        EXPECT_EQ(rig.sleeps.back(), 400) << "something plays";
    }
}

TEST(NpcEvents, GainRefreshKeptOnlyForTheSameId) {
    Rig rig;
    rig.record.started = true;
    rig.record.generation_seen = 1;
    rig.state.playing_id.store(43);
    NpcPlayItem next;
    next.event.id = 44;
    next.event.gain = 180;
    AppendNpcItem(rig.state, next);
    // While near for 43 is under way, 43 ends and the player takes 44.
    rig.seams.get = [&rig](const std::string& p, const std::string& b) {
        if (p == "/npc-voice/near?id=43") {
            rig.state.playing_id.store(0);
            TakeDueNpcItem(rig.state, rig.now);
            return ApiResponse{200, "0"};
        }
        return rig.server.Get(p, b);
    };
    rig.Pass();
    EXPECT_EQ(rig.state.playing_id.load(), 44u);
    EXPECT_EQ(rig.state.gain.load(), 180) << "44 inherited the answer meant for 43";
}

}  // namespace
}  // namespace hm
