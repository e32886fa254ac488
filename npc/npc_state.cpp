#include "npc/npc_state.h"

#include <algorithm>

namespace hm {

NpcClip NpcAudioCache::Find(const std::string& hash) const {
    const auto it = clips_.find(hash);
    return it == clips_.end() ? nullptr : it->second;
}

void NpcAudioCache::Insert(const std::string& hash, NpcClip clip) {
    if (!clip) return;
    const auto same = clips_.find(hash);
    if (same != clips_.end()) {
        bytes_ -= same->second->size();
        clips_.erase(same);
    }
    while (!clips_.empty() && (clips_.size() >= kNpcCacheClips || bytes_ + clip->size() > kNpcCacheBytes)) {
        bytes_ -= clips_.begin()->second->size();
        clips_.erase(clips_.begin());
    }
    bytes_ += clip->size();
    clips_.emplace(hash, std::move(clip));
}

void NpcSeenSet::Add(std::uint64_t id) {
    ids_.insert(id);
    while (ids_.size() > kNpcSeenLimit) ids_.erase(ids_.begin());
}

void ConfigureNpc(NpcState& state, bool enabled, int volume) {
    state.enabled.store(enabled);
    state.volume.store(std::clamp(volume, 0, 100));
}

bool AppendNpcItem(NpcState& state, NpcPlayItem item) {
    std::lock_guard<std::mutex> hold(state.queue_lock);
    if (state.queue.size() >= kNpcQueueLimit) return false;
    state.queue.push_back(std::move(item));
    state.queued.store(long(state.queue.size()));
    return true;
}

bool StoreGainIfPlaying(NpcState& state, std::uint64_t id, int gain) {
    std::lock_guard<std::mutex> hold(state.queue_lock);
    if (id == 0 || state.playing_id.load() != id) return false;
    state.gain.store(gain);
    return true;
}

std::optional<NpcPlayItem> TakeDueNpcItem(NpcState& state, Tick now) {
    std::lock_guard<std::mutex> hold(state.queue_lock);
    if (state.queue.empty() || !IsDue(now, state.queue.front().start)) return std::nullopt;
    NpcPlayItem item = std::move(state.queue.front());
    state.queue.pop_front();
    state.queued.store(long(state.queue.size()));
    state.gain.store(item.event.gain);
    state.playing_id.store(item.event.id);
    return item;
}

void ClearNpcQueue(NpcState& state) {
    std::deque<NpcPlayItem> dropped;  // clips freed after the lock is let go
    std::lock_guard<std::mutex> hold(state.queue_lock);
    dropped.swap(state.queue);
    state.queued.store(0);
}

NpcState& PluginNpc() {
    static NpcState& state = *new NpcState;
    return state;
}

}  // namespace hm
