// What the NPC events thread and the NPC player thread share, and what the events thread keeps
// for itself: the clip cache and the seen set. The queue has its own lock; the rest are atomics.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ticks.h"
#include "npc/manifest.h"

namespace hm {

constexpr std::size_t kNpcCacheClips = 32;
constexpr std::size_t kNpcCacheBytes = 16777216;
constexpr std::size_t kNpcQueueLimit = 8;
constexpr std::size_t kNpcSeenLimit = 256;

// Immutable once made: the cache and every queued item hold their own reference.
using NpcClip = std::shared_ptr<const std::vector<std::uint8_t>>;

// Owned by the events thread.
class NpcAudioCache {
public:
    NpcClip Find(const std::string& hash) const;
    // Evicts the smallest hashes (text order) until fewer than kNpcCacheClips remain and the
    // clip fits within kNpcCacheBytes, then keeps it.
    void Insert(const std::string& hash, NpcClip clip);
    std::size_t clips() const { return clips_.size(); }
    std::size_t bytes() const { return bytes_; }

private:
    std::map<std::string, NpcClip> clips_;
    std::size_t bytes_ = 0;
};

// Event ids already queued; beyond kNpcSeenLimit the smallest go first. Events thread.
class NpcSeenSet {
public:
    bool Contains(std::uint64_t id) const { return ids_.count(id) != 0; }
    void Add(std::uint64_t id);
    void Clear() { ids_.clear(); }
    std::size_t size() const { return ids_.size(); }

private:
    std::set<std::uint64_t> ids_;
};

struct NpcPlayItem {
    NpcVoiceEvent event;
    Tick start = 0;  // tick of queueing + delay
    NpcClip clip;
};

struct NpcState {
    // Guards `queue`; the player's take and the events thread's conditional gain store happen
    // under it, so a gain meant for one event never lands on the next.
    std::mutex queue_lock;
    std::deque<NpcPlayItem> queue;  // at most kNpcQueueLimit, oldest first

    std::atomic<bool> enabled{true};             // INI NPCVoices, toggled by Ctrl+N. Written: start, player
    std::atomic<int> volume{75};                 // 0..100 from NPCVoiceVolume. Written: start
    std::atomic<int> gain{0};                    // NpcGain 0..255. Written: player (take), events
    std::atomic<std::uint64_t> playing_id{0};    // NpcPlayingId, 0: nothing. Written: player (take under the lock)

    // Diagnostics, read without the lock.
    std::atomic<std::uint64_t> cursor{0};        // stored events cursor. Written: events
    std::atomic<long> cached_clips{0};           // Written: events
    std::atomic<long long> cached_bytes{0};      // Written: events
    std::atomic<long> queued{0};                 // Written: under queue_lock
    std::atomic<long long> events_cpu{0};        // CPU time of the events thread, 100 ns units
    std::atomic<long long> player_cpu{0};        // CPU time of the player thread, 100 ns units
};

// Worker, once before the threads start: INI NPCVoices and NPCVoiceVolume (clamped to 0..100).
void ConfigureNpc(NpcState& state, bool enabled, int volume);

// Events thread: appends unless kNpcQueueLimit items wait already.
bool AppendNpcItem(NpcState& state, NpcPlayItem item);
// Events thread: stores `gain` only while `id` is still the playing one.
bool StoreGainIfPlaying(NpcState& state, std::uint64_t id, int gain);
// Player thread: the oldest item once its start has come; NpcGain and NpcPlayingId are set from it
// in the same step.
std::optional<NpcPlayItem> TakeDueNpcItem(NpcState& state, Tick now);
void ClearNpcQueue(NpcState& state);

// The plugin's one instance, never destroyed.
NpcState& PluginNpc();

}  // namespace hm
