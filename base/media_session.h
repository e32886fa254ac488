// MediaSession: the session token handed to the media threads (voice chat, NPC voices). The
// worker publishes it at the end of every loop pass; readers compare the generation (one atomic
// word) and copy the token only when it moved.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace hm {

struct MediaSession {
    std::mutex lock;                           // guards token; held only for the copy
    std::string token;                         // empty: no session for media
    std::atomic<std::uint32_t> generation{0};  // changes whenever the token changes
};

// Worker thread. Stores the token and bumps the generation only when it differs.
void PublishMediaSession(MediaSession& media, const std::string& token);

// Any thread: the current token and its generation.
struct MediaSessionCopy {
    std::string token;
    std::uint32_t generation = 0;
};
MediaSessionCopy ReadMediaSession(MediaSession& media);

// The plugin's one instance.
MediaSession& PluginMediaSession();

}  // namespace hm
