// NPC voices on the fake API: scripted speech events with their clips, a cursor, near answers
// that change over time, audio faults, events the server keeps repeating and broken manifests.
// Answers GET /npc-voice/events, /npc-voice/audio and /npc-voice/near.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tools/fake_api/fake_api.h"

namespace hm::fake {

// From `from_ms` after the event's first near request on, near answers `status` with `body`.
struct NpcNearStep {
    int from_ms = 0;
    int status = 200;
    std::string body;
};

struct NpcStageEvent {
    std::uint64_t id = 1;
    int npc = 0;
    int gain = 255;
    int delay_ms = 0;
    std::string clip;               // mu-law bytes
    std::vector<NpcNearStep> near;  // empty: 200 with the gain
    int audio_status = 200;         // e.g. 404: the clip is never served
    bool short_once = false;        // the first audio answer is one byte short
    bool repeat = false;            // listed in every manifest, whatever the cursor
    int after_arm_ms = -1;          // announced this long after Arm(); -1: only by Announce()
};

// What one request to the stage got, for logs and tests.
struct NpcStageSeen {
    std::string what;  // "events", "audio", "near"
    std::uint64_t id = 0;      // audio and near: the event; events: the cursor asked after
    bool init = false;         // events: "&init=1" was asked
    int status = 0;
    std::size_t bytes = 0;     // body bytes of the answer
    int events = 0;            // events in the manifest
};

// 64 lower-case hex digits of the SHA-256 of the clip.
std::string NpcClipHash(const std::string& clip);

class NpcStage {
public:
    void Attach(FakeApi& api);

    void Add(const NpcStageEvent& event);
    void Announce(std::uint64_t id);  // from now on in the manifests
    void Arm();                       // starts the clock of the after_arm_ms events
    void SetNear(std::uint64_t id, std::vector<NpcNearStep> steps);  // the clock restarts
    void BreakNextManifests(const std::string& body, int count = 1);  // answered with 200 and body

    std::vector<NpcStageSeen> Seen() const;
    int Count(const std::string& what, std::uint64_t id) const;  // id 0: every id

    Reply Events(const RecordedRequest& r);
    Reply Audio(const RecordedRequest& r);
    Reply Near(const RecordedRequest& r);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        NpcStageEvent event;
        std::string hash;
        bool announced = false;
        bool short_sent = false;
        bool near_started = false;
        Clock::time_point near_from;
    };
    bool Visible(const Entry& e, Clock::time_point now) const;
    Reply Log(NpcStageSeen seen, Reply reply);

    mutable std::mutex lock_;
    std::map<std::uint64_t, Entry> events_;
    std::deque<std::string> broken_;
    bool armed_ = false;
    Clock::time_point armed_at_;
    std::vector<NpcStageSeen> seen_;
};

// Builds a manifest text from the given events and cursor (each event's hash from its clip).
std::string NpcManifestText(std::uint64_t cursor, const std::vector<NpcStageEvent>& events);

}  // namespace hm::fake
