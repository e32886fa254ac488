#include "voice/exchange.h"

#include <limits>
#include <stdexcept>

namespace hm {

namespace {

std::uint64_t ReadLittle(const std::string& body, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(body[at + i]);
    return v;
}

void ReleaseAll(ExchangeRecord& record, VoiceState& state) {
    record.players.clear();
    state.players.store(0);
}

}  // namespace

VoiceAnswer ParseVoiceAnswer(const std::string& body) {
    if (body.size() < 14 || body.compare(0, 4, "HMV1") != 0) throw std::runtime_error("invalid voice response");
    VoiceAnswer answer;
    answer.cursor = ReadLittle(body, 4, 8);
    const std::size_t count = ReadLittle(body, 12, 2);
    if (count > kMaxFrames) throw std::runtime_error("voice count limit");
    std::size_t at = 14;
    for (std::size_t i = 0; i < count; ++i) {
        if (body.size() - at < 6) throw std::runtime_error("truncated voice header");
        VoiceFrame f;
        f.speaker = static_cast<std::uint16_t>(ReadLittle(body, at, 2));
        f.gain = static_cast<std::uint16_t>(ReadLittle(body, at + 2, 2));
        f.count = ReadLittle(body, at + 4, 2);
        f.offset = at + 6;
        if (f.speaker >= 1000 || f.gain >= 256 || f.count < kExchangeMinSamples || f.count > kExchangeMaxSamples ||
            body.size() - f.offset < f.count)
            throw std::runtime_error("invalid voice frame");
        answer.frames.push_back(f);
        at = f.offset + f.count;
    }
    if (at != body.size()) throw std::runtime_error("voice trailing bytes");
    return answer;
}

int ParseCapabilityValue(const std::string& body) {
    std::size_t i = 0;
    while (i < body.size() && (body[i] == ' ' || (body[i] >= '\t' && body[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) negative = body[i++] == '-';
    if (i >= body.size() || body[i] < '0' || body[i] > '9') throw std::runtime_error("invalid capability answer");
    std::int64_t v = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min())
                                        : std::numeric_limits<int>::max();
    for (; i < body.size() && body[i] >= '0' && body[i] <= '9'; ++i) {
        v = v * 10 + (body[i] - '0');
        if (v > limit) throw std::runtime_error("invalid capability answer");
    }
    return static_cast<int>(negative ? -v : v);
}

int CapabilityMaskOf(int value) { return value >= 1 && value <= 63 && (value & 1) ? value : 1; }
bool WorkRadioOf(int value) { return (value >> 5) & 1; }

void PlayVoiceAnswer(ExchangeRecord& record, VoiceState& state, ExchangeSeams& seams, const std::string& body,
                     const VoiceAnswer& answer) {
    for (const VoiceFrame& f : answer.frames) {
        auto it = record.players.find(f.speaker);
        if (it == record.players.end()) {
            if (record.players.size() >= kMaxPlayers) record.players.erase(record.players.begin());
            it = record.players.emplace(f.speaker, std::make_unique<VoicePlayer>(seams.new_output())).first;
        }
        it->second->Play(reinterpret_cast<const std::uint8_t*>(body.data()) + f.offset, f.count, f.gain, -1,
                         state.volume.load(), seams.now());
    }
    state.players.store(static_cast<int>(record.players.size()));
}

void ExchangePass(ExchangeRecord& record, VoiceState& state, ExchangeSeams& seams) {
    const std::uint32_t generation = state.generation.load();
    if (!record.started || generation != record.generation_seen) {
        ReleaseAll(record, state);
        record.cursor = 0;
        state.capability_mask.store(1);
        record.next_capability = seams.now();
        record.generation_seen = generation;
        record.started = true;
    }

    Tick now = seams.now();
    const bool enabled = state.enabled.load();
    const bool may_send = IsDue(now, record.backoff_until);
    std::string body;
    for (int i = 0; i < 8; ++i) body.push_back(static_cast<char>((record.cursor >> (8 * i)) & 0xFF));
    const ExchangeTake take = TakeForExchange(state, enabled && may_send, body);

    if (take.token.empty() || !enabled || !may_send) {
        ReleaseAll(record, state);
        seams.sleep(100);
        return;
    }
    auto same_session = [&] { return state.generation.load() == generation; };

    if (IsDue(now, record.next_capability)) {
        record.next_capability = now + ((state.capability_mask.load() & (1 << 4)) ? 350 : 1200);
        try {
            const ApiResponse r = seams.request("GET", "/voice/capabilities", take.token, std::string());
            // An answer for the previous token must not grant channels to the new one.
            if (same_session()) {
                if (r.status == 200) {
                    const int value = ParseCapabilityValue(r.body);
                    state.capability_mask.store(CapabilityMaskOf(value));
                    state.work_radio.store(WorkRadioOf(value));
                } else {
                    state.capability_mask.store(1);
                    state.work_radio.store(false);
                }
            }
        } catch (const std::exception&) {
            if (same_session()) state.capability_mask.store(1);
        }
    }

    try {
        const ApiResponse r =
            seams.request("POST", "/voice/exchange?channel=" + std::to_string(take.channel), take.token, body);
        if (same_session()) {
            if (r.status == 200) {
                const VoiceAnswer answer = ParseVoiceAnswer(r.body);
                PlayVoiceAnswer(record, state, seams, r.body, answer);
                record.cursor = answer.cursor;
                state.exchanges.fetch_add(1);
            } else if (r.status != 429) {
                if (r.status == 403) state.capability_mask.store(1);
                ReleaseAll(record, state);
                record.backoff_until = seams.now() + 1000;
            }
        }
    } catch (const std::exception& e) {
        record.last_failure = e.what();
        if (same_session()) {
            ReleaseAll(record, state);
            record.backoff_until = seams.now() + 1500;
        }
    }

    now = seams.now();
    for (auto it = record.players.begin(); it != record.players.end();) {
        if (now - it->second->last_write() > 2000)
            it = record.players.erase(it);
        else
            ++it;
    }
    state.players.store(static_cast<int>(record.players.size()));
    seams.sleep(120);
}

}  // namespace hm
