#include "photos/gallery.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace hm {

const char* const kInvalidPicturesText = "invalid pictures";
const char* const kInvalidPictureEntryText = "invalid picture entry";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Digits only, no sign; false when the value passes `max`.
bool ReadNumber(std::string_view line, std::size_t& at, std::int64_t max, std::int64_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
        value = value * 10 + (line[at] - '0');
        if (value > max) return false;
        ++at;
    }
    return at > start;
}

void SkipBlanks(std::string_view line, std::size_t& at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
}

GalleryEntry ParseEntry(std::string_view line) {
    const auto bad = [] { return std::runtime_error(kInvalidPictureEntryText); };
    std::size_t at = 0;
    std::int64_t id = 0, revision = 0;
    SkipBlanks(line, at);
    if (!ReadNumber(line, at, kGalleryMaxPictureId, id)) throw bad();
    const std::size_t before_gap = at;
    SkipBlanks(line, at);
    if (at == before_gap || !ReadNumber(line, at, 2147483647, revision)) throw bad();
    SkipBlanks(line, at);
    if (at != line.size() || id < 1 || revision < 1) throw bad();
    return {int(id), std::int32_t(revision)};
}

}  // namespace

std::vector<GalleryEntry> ParsePictureList(std::string_view body) {
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    const std::size_t first_end = std::min(body.find('\n'), body.size());
    if (body.substr(0, first_end) != "PICTURES") throw std::runtime_error(kInvalidPicturesText);
    std::vector<GalleryEntry> entries;
    std::set<int> seen;
    std::size_t at = first_end;
    while (at < body.size()) {
        ++at;  // the line feed
        const std::size_t end = std::min(body.find('\n', at), body.size());
        const GalleryEntry e = ParseEntry(body.substr(at, end - at));
        if (entries.size() == std::size_t(kGalleryMaxEntries) || !seen.insert(e.id).second)
            throw std::runtime_error(kInvalidPictureEntryText);
        entries.push_back(e);
        at = end;
    }
    return entries;
}

PixelsRef ScaleGalleryPicture(const PixelsRef& picture) {
    const std::uint64_t w = picture->width(), h = picture->height();
    const std::uint64_t longer = std::max(w, h);
    if (longer <= kGalleryMaxSide) return picture;
    const std::uint32_t nw = std::uint32_t(std::max<std::uint64_t>(1, w * kGalleryMaxSide / longer));
    const std::uint32_t nh = std::uint32_t(std::max<std::uint64_t>(1, h * kGalleryMaxSide / longer));
    PixelsRef out = MakePixels(nw, nh);
    for (std::uint32_t y = 0; y < nh; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(picture->row(std::uint32_t(y * h / nh)));
        auto* dst = reinterpret_cast<std::uint32_t*>(out->row(y));
        for (std::uint32_t x = 0; x < nw; ++x) dst[x] = src[x * w / nw];
    }
    return out;
}

Gallery& PluginGallery() {
    static Gallery& gallery = *new Gallery;
    return gallery;
}

void ClearGallery(Gallery& gallery) {
    gallery.deadline.store(0);
    GalleryCache dropped;
    {
        std::lock_guard<std::mutex> hold(gallery.lock);
        dropped.swap(gallery.cache);
    }
    // The pictures are freed outside the lock (the render thread may be trying it).
}

namespace {

void RunGalleryStep(Gallery& gallery, const GalleryEffects& fx, const ApiClient& client, const std::string& token) {
    const ApiResponse state = fx.request(client, "GET", "/pictures/state", token, "", 0);
    if (state.status != 200) {
        ClearGallery(gallery);
        return;
    }
    const std::vector<GalleryEntry> list = ParsePictureList(state.body);
    {
        std::lock_guard<std::mutex> hold(gallery.lock);
        for (auto it = gallery.cache.begin(); it != gallery.cache.end();) {
            const auto listed = std::find_if(list.begin(), list.end(), [&](const GalleryEntry& e) { return e.id == it->first; });
            if (listed == list.end() || listed->revision != it->second.revision)
                it = gallery.cache.erase(it);
            else
                ++it;
        }
    }
    gallery.deadline.store(fx.clock() + kGalleryLifetimeMs);
    int fetched = 0;
    for (const GalleryEntry& e : list) {
        {
            std::lock_guard<std::mutex> hold(gallery.lock);
            if (gallery.cache.count(e.id)) continue;
        }
        if (fetched == kGalleryFetchesPerStep) return;  // the rest waits for the next step
        ++fetched;
        const ApiResponse got =
            fx.request(client, "GET", "/pictures/" + std::to_string(e.id) + "/" + std::to_string(e.revision), token, "", 0);
        if (got.status != 200) continue;  // tried again by a later step
        const PixelsRef decoded = fx.decode(got.body);
        if (!decoded) throw std::runtime_error("invalid gallery dimensions");
        PixelsRef scaled = ScaleGalleryPicture(decoded);
        std::lock_guard<std::mutex> hold(gallery.lock);
        gallery.cache[e.id] = {e.revision, std::move(scaled)};
    }
}

}  // namespace

void GalleryStep(GalleryRecord& record, Gallery& gallery, const GalleryEffects& fx, const ApiClient& client, Tick now,
                 const std::string& token) {
    if (!IsDue(now, record.next_due)) return;
    record.next_due = now + kGalleryIntervalMs;
    try {
        RunGalleryStep(gallery, fx, client, token);
    } catch (...) {
        // Nothing reaches the player; the pictures go until a step succeeds again.
        try {
            ClearGallery(gallery);
        } catch (...) {
            gallery.deadline.store(0);
        }
    }
}

}  // namespace hm
