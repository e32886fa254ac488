#include "base/media_session.h"

namespace hm {

void PublishMediaSession(MediaSession& media, const std::string& token) {
    std::lock_guard<std::mutex> hold(media.lock);
    if (media.token == token) return;
    media.token = token;
    media.generation.fetch_add(1);
}

MediaSessionCopy ReadMediaSession(MediaSession& media) {
    std::lock_guard<std::mutex> hold(media.lock);
    return {media.token, media.generation.load()};
}

MediaSession& PluginMediaSession() {
    static MediaSession& media = *new MediaSession;
    return media;
}

}  // namespace hm
