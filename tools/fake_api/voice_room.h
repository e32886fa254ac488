// A voice room on the fake API: the capability answer, peers that speak in chosen exchanges, a
// loopback peer that repeats what the player sent, the cursor echo check, recorded channels
// and counts, and scripted faults.
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

struct VoicePeer {
    std::uint16_t id = 1;
    std::uint16_t gain = 255;
    std::string samples;       // mu-law, 160..3200 bytes
    int from_exchange = 0;     // speaks in exchanges [from, until) of the room (counted from 0)
    int until_exchange = 1 << 30;
};

struct VoiceExchangeSeen {
    int channel = -1;          // from ?channel=, -1 when missing
    std::string samples;       // mu-law bytes after the cursor
    std::uint64_t cursor = 0;  // as the client sent it
    bool cursor_ok = false;    // equals the last cursor the room gave this token (0 at first)
    int status = 200;
    int frames = 0;            // frames in the answer
    std::chrono::steady_clock::time_point at;  // when it arrived
};

class VoiceRoom {
public:
    void Attach(FakeApi& api);  // answers GET /voice/capabilities and POST /voice/exchange

    void SetCapability(const std::string& body);
    void AddPeer(const VoicePeer& peer);
    void SetLoopback(std::uint16_t id, std::uint16_t gain);  // id 0: no loopback peer
    void FailNextExchanges(int status, int count = 1);       // status 0: drop the connection

    std::vector<VoiceExchangeSeen> Exchanges() const;
    int CapabilityRequests() const;

    Reply Capabilities(const RecordedRequest& r);
    Reply Exchange(const RecordedRequest& r);

private:
    mutable std::mutex lock_;
    std::string capability_ = "1";
    std::vector<VoicePeer> peers_;
    std::uint16_t loopback_id_ = 0, loopback_gain_ = 0;
    std::deque<int> faults_;
    std::map<std::string, std::uint64_t> cursors_;  // by bearer token
    std::vector<VoiceExchangeSeen> seen_;
    int capability_requests_ = 0;
};

// The room's answer body: "HMV1", cursor, count and frames (id, gain, samples).
std::string VoiceAnswerBody(std::uint64_t cursor, const std::vector<VoicePeer>& frames);

}  // namespace hm::fake
