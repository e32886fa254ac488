#include "tools/fake_api/voice_room.h"

namespace hm::fake {

namespace {

std::string Le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
    return s;
}

}  // namespace

std::string VoiceAnswerBody(std::uint64_t cursor, const std::vector<VoicePeer>& frames) {
    std::string s = "HMV1" + Le(cursor, 8) + Le(frames.size(), 2);
    for (const VoicePeer& f : frames) s += Le(f.id, 2) + Le(f.gain, 2) + Le(f.samples.size(), 2) + f.samples;
    return s;
}

void VoiceRoom::Attach(FakeApi& api) {
    api.Respond("GET", "/voice/capabilities", [this](const RecordedRequest& r) { return Capabilities(r); });
    api.Respond("POST", "/voice/exchange", [this](const RecordedRequest& r) { return Exchange(r); });
}

void VoiceRoom::SetCapability(const std::string& body) {
    std::lock_guard<std::mutex> hold(lock_);
    capability_ = body;
}

void VoiceRoom::AddPeer(const VoicePeer& peer) {
    std::lock_guard<std::mutex> hold(lock_);
    peers_.push_back(peer);
}

void VoiceRoom::SetLoopback(std::uint16_t id, std::uint16_t gain) {
    std::lock_guard<std::mutex> hold(lock_);
    loopback_id_ = id;
    loopback_gain_ = gain;
}

void VoiceRoom::FailNextExchanges(int status, int count) {
    std::lock_guard<std::mutex> hold(lock_);
    for (int i = 0; i < count; ++i) faults_.push_back(status);
}

std::vector<VoiceExchangeSeen> VoiceRoom::Exchanges() const {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
}

int VoiceRoom::CapabilityRequests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return capability_requests_;
}

Reply VoiceRoom::Capabilities(const RecordedRequest&) {
    std::lock_guard<std::mutex> hold(lock_);
    ++capability_requests_;
    return Reply(200, capability_);
}

Reply VoiceRoom::Exchange(const RecordedRequest& r) {
    std::lock_guard<std::mutex> hold(lock_);
    VoiceExchangeSeen seen;
    seen.at = std::chrono::steady_clock::now();
    const std::size_t at = r.query.find("channel=");
    if (at != std::string::npos) seen.channel = std::atoi(r.query.c_str() + at + 8);
    if (r.body.size() >= 8) {
        for (int i = 7; i >= 0; --i) seen.cursor = (seen.cursor << 8) | std::uint8_t(r.body[i]);
        seen.samples = r.body.substr(8);
    }
    const std::string bearer = r.Header("Authorization");
    std::uint64_t& cursor = cursors_[bearer];
    seen.cursor_ok = seen.cursor == cursor;

    if (!faults_.empty()) {
        seen.status = faults_.front();
        faults_.pop_front();
        seen_.push_back(seen);
        return seen.status == 0 ? Reply::CloseConnection() : Reply(seen.status);
    }
    const int index = int(seen_.size());
    std::vector<VoicePeer> frames;
    for (const VoicePeer& p : peers_)
        if (index >= p.from_exchange && index < p.until_exchange && frames.size() < 12) frames.push_back(p);
    if (loopback_id_ != 0 && seen.samples.size() >= 160 && frames.size() < 12)
        frames.push_back({loopback_id_, loopback_gain_, seen.samples, 0, 0});
    cursor += 1 + seen.samples.size();
    seen.frames = int(frames.size());
    seen_.push_back(seen);
    return Reply(200, VoiceAnswerBody(cursor, frames), {{"Content-Type", "application/octet-stream"}});
}

}  // namespace hm::fake
