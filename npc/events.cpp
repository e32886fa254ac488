#include "npc/events.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace hm {

namespace {

enum class Outcome { Queued, Dropped, Later };

// Clip, near answer and queueing of one event not seen before.
Outcome HandleEvent(NpcEventsRecord& record, NpcState& state, NpcEventsSeams& seams, const NpcVoiceEvent& e,
                    const std::string& token, std::uint32_t generation) {
    NpcClip clip = record.cache.Find(e.hash);
    if (!clip) {
        const ApiResponse r = seams.get("/npc-voice/audio?id=" + std::to_string(e.id), token);
        if (r.status != 200 || r.body.size() != e.bytes) return Outcome::Later;
        clip = std::make_shared<const std::vector<std::uint8_t>>(r.body.begin(), r.body.end());
        record.cache.Insert(e.hash, clip);
        ++record.audio_downloads;
        record.audio_bytes += static_cast<long long>(r.body.size());
    }
    const ApiResponse near = seams.get("/npc-voice/near?id=" + std::to_string(e.id), token);
    if (near.status == 200) {
        if (seams.session().generation != generation || !state.enabled.load()) return Outcome::Dropped;
        NpcPlayItem item{e, seams.now() + Tick(e.delay_ms), clip};
        if (!AppendNpcItem(state, std::move(item))) return Outcome::Later;
        record.seen.Add(e.id);
        return Outcome::Queued;
    }
    if (near.status == 409 || near.status >= 500) return Outcome::Later;
    return Outcome::Dropped;
}

void Pass(NpcEventsRecord& record, NpcState& state, NpcEventsSeams& seams, const std::string& token,
          std::uint32_t generation) {
    const std::uint64_t playing = state.playing_id.load();
    if (playing != 0) {
        const ApiResponse r = seams.get("/npc-voice/near?id=" + std::to_string(playing), token);
        if (r.status == 200)
            StoreGainIfPlaying(state, playing, ParseNpcGain(r.body));
        else if (r.status == 401 || r.status == 403 || r.status == 404)
            StoreGainIfPlaying(state, playing, 0);
    }

    std::string path = "/npc-voice/events?after=" + std::to_string(record.cursor);
    if (record.ask_init) path += "&init=1";
    const ApiResponse r = seams.get(path, token);
    if (r.status == 401 || r.status == 403) {
        state.gain.store(0);
        record.ask_init = true;
        return;
    }
    if (r.status != 200) return;
    const NpcManifest manifest = ParseNpcManifest(r.body);
    record.ask_init = false;
    std::uint64_t cursor = manifest.cursor;
    for (const NpcVoiceEvent& e : manifest.events) {
        if (record.seen.Contains(e.id)) continue;
        if (HandleEvent(record, state, seams, e, token, generation) == Outcome::Later) cursor = std::min(cursor, e.id - 1);
    }
    record.cursor = cursor;
}

}  // namespace

void NpcEventsPass(NpcEventsRecord& record, NpcState& state, NpcEventsSeams& seams) {
    const NpcSession session = seams.session();
    if (!record.started || session.generation != record.generation_seen) {
        record.seen.Clear();
        record.cursor = 0;
        record.ask_init = true;
        record.generation_seen = session.generation;
        record.started = true;
    }
    if (session.token.empty() || !state.enabled.load()) {
        record.ask_init = true;
        state.cursor.store(record.cursor);
        seams.sleep(200);
        return;
    }
    try {
        Pass(record, state, seams, session.token, session.generation);
    } catch (const std::exception& e) {
        record.last_failure = e.what();
    }
    state.cursor.store(record.cursor);
    state.cached_clips.store(long(record.cache.clips()));
    state.cached_bytes.store(static_cast<long long>(record.cache.bytes()));
    seams.sleep(state.playing_id.load() != 0 ? 400 : 800);
}

}  // namespace hm
