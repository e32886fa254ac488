#include "tools/fake_api/npc_stage.h"

#include <openssl/sha.h>

#include <cstdio>
#include <cstdlib>

namespace hm::fake {

namespace {

// The decimal value of `name=` in a query; 0 when missing.
std::uint64_t QueryNumber(const std::string& query, const std::string& name) {
    const std::string key = name + "=";
    std::size_t at = query.rfind(key, 0) == 0 ? 0 : query.find("&" + key);
    if (at == std::string::npos) return 0;
    if (at != 0) ++at;
    return std::strtoull(query.c_str() + at + key.size(), nullptr, 10);
}

std::string EventLine(const NpcStageEvent& e, const std::string& hash) {
    return std::to_string(e.id) + " " + std::to_string(e.npc) + " " + std::to_string(e.gain) + " " +
           std::to_string(e.delay_ms) + " " + std::to_string(e.clip.size()) + " " + hash + "\n";
}

}  // namespace

std::string NpcClipHash(const std::string& clip) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(clip.data()), clip.size(), digest);
    std::string hex;
    char two[3];
    for (unsigned char b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

std::string NpcManifestText(std::uint64_t cursor, const std::vector<NpcStageEvent>& events) {
    std::string text = "HMNPC1 " + std::to_string(cursor) + " " + std::to_string(events.size()) + "\n";
    for (const NpcStageEvent& e : events) text += EventLine(e, NpcClipHash(e.clip));
    return text;
}

void NpcStage::Attach(FakeApi& api) {
    api.Respond("GET", "/npc-voice/events", [this](const RecordedRequest& r) { return Events(r); });
    api.Respond("GET", "/npc-voice/audio", [this](const RecordedRequest& r) { return Audio(r); });
    api.Respond("GET", "/npc-voice/near", [this](const RecordedRequest& r) { return Near(r); });
}

void NpcStage::Add(const NpcStageEvent& event) {
    std::lock_guard<std::mutex> hold(lock_);
    Entry e;
    e.event = event;
    e.hash = NpcClipHash(event.clip);
    events_[event.id] = e;
}

void NpcStage::Announce(std::uint64_t id) {
    std::lock_guard<std::mutex> hold(lock_);
    events_[id].announced = true;
}

void NpcStage::Arm() {
    std::lock_guard<std::mutex> hold(lock_);
    if (armed_) return;
    armed_ = true;
    armed_at_ = Clock::now();
}

void NpcStage::SetNear(std::uint64_t id, std::vector<NpcNearStep> steps) {
    std::lock_guard<std::mutex> hold(lock_);
    Entry& e = events_[id];
    e.event.near = std::move(steps);
    e.near_started = true;
    e.near_from = Clock::now();
}

void NpcStage::BreakNextManifests(const std::string& body, int count) {
    std::lock_guard<std::mutex> hold(lock_);
    for (int i = 0; i < count; ++i) broken_.push_back(body);
}

std::vector<NpcStageSeen> NpcStage::Seen() const {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
}

int NpcStage::Count(const std::string& what, std::uint64_t id) const {
    std::lock_guard<std::mutex> hold(lock_);
    int n = 0;
    for (const auto& s : seen_) n += s.what == what && (id == 0 || s.id == id);
    return n;
}

bool NpcStage::Visible(const Entry& e, Clock::time_point now) const {
    if (e.announced) return true;
    return e.event.after_arm_ms >= 0 && armed_ && now >= armed_at_ + std::chrono::milliseconds(e.event.after_arm_ms);
}

Reply NpcStage::Log(NpcStageSeen seen, Reply reply) {
    seen.status = reply.status;
    seen.bytes = reply.body.size();
    seen_.push_back(seen);
    return reply;
}

Reply NpcStage::Events(const RecordedRequest& r) {
    std::lock_guard<std::mutex> hold(lock_);
    NpcStageSeen seen{"events", QueryNumber(r.query, "after"), r.query.find("init=1") != std::string::npos};
    if (!broken_.empty()) {
        const std::string body = broken_.front();
        broken_.pop_front();
        return Log(seen, Reply(200, body));
    }
    const auto now = Clock::now();
    std::uint64_t cursor = seen.id;
    std::vector<const Entry*> listed;
    for (const auto& [id, e] : events_)
        if (Visible(e, now) && e.event.repeat && id <= seen.id) listed.push_back(&e);
    for (const auto& [id, e] : events_) {
        if (listed.size() >= 8) break;
        if (!Visible(e, now) || id <= seen.id) continue;
        listed.push_back(&e);
        cursor = id;
    }
    std::string text = "HMNPC1 " + std::to_string(cursor) + " " + std::to_string(listed.size()) + "\n";
    for (const Entry* e : listed) text += EventLine(e->event, e->hash);
    seen.events = int(listed.size());
    return Log(seen, Reply(200, text));
}

Reply NpcStage::Audio(const RecordedRequest& r) {
    std::lock_guard<std::mutex> hold(lock_);
    NpcStageSeen seen{"audio", QueryNumber(r.query, "id")};
    const auto it = events_.find(seen.id);
    if (it == events_.end() || !Visible(it->second, Clock::now())) return Log(seen, Reply(404));
    Entry& e = it->second;
    if (e.event.audio_status != 200) return Log(seen, Reply(e.event.audio_status));
    std::string body = e.event.clip;
    if (e.event.short_once && !e.short_sent) {
        e.short_sent = true;
        body.pop_back();
    }
    return Log(seen, Reply(200, body, {{"Content-Type", "application/octet-stream"}}));
}

Reply NpcStage::Near(const RecordedRequest& r) {
    std::lock_guard<std::mutex> hold(lock_);
    NpcStageSeen seen{"near", QueryNumber(r.query, "id")};
    const auto it = events_.find(seen.id);
    if (it == events_.end()) return Log(seen, Reply(404));
    Entry& e = it->second;
    const auto now = Clock::now();
    if (!e.near_started) {
        e.near_started = true;
        e.near_from = now;
    }
    if (e.event.near.empty()) return Log(seen, Reply(200, std::to_string(e.event.gain)));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - e.near_from).count();
    const NpcNearStep* step = &e.event.near.front();
    for (const NpcNearStep& s : e.event.near)
        if (elapsed >= s.from_ms) step = &s;
    return Log(seen, Reply(step->status, step->body));
}

}  // namespace hm::fake
