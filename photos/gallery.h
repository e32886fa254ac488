// The picture gallery, portable half: the /pictures/state list, the worker's GalleryStep over a
// request function, a decoder and a clock, the shrinking to 512 pixels, and the cache the render
// thread turns into textures.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/pixels.h"
#include "base/ticks.h"
#include "net/api_types.h"

namespace hm {

constexpr Tick kGalleryIntervalMs = 1000;
constexpr Tick kGalleryLifetimeMs = 3500;  // pictures stay this long after the last good list
constexpr int kGalleryMaxEntries = 32;
constexpr int kGalleryMaxPictureId = 16383;
constexpr int kGalleryFetchesPerStep = 2;
constexpr std::uint32_t kGalleryMaxSide = 512;

extern const char* const kInvalidPicturesText;       // "invalid pictures": the first line
extern const char* const kInvalidPictureEntryText;   // "invalid picture entry"

struct GalleryEntry {
    int id = 0;             // 1..16383
    std::int32_t revision = 0;  // 1..2^31-1
    bool operator==(const GalleryEntry& o) const { return id == o.id && revision == o.revision; }
};

// "PICTURES", then at most 32 lines of two decimal integers (id, revision) separated by blanks
// or tabs; the final line feed is optional. Throws std::runtime_error with one of the texts above.
std::vector<GalleryEntry> ParsePictureList(std::string_view body);

// Nearest neighbour, integer arithmetic: the longer side becomes at most 512, neither side below
// 1; a picture that already fits comes back as it is.
PixelsRef ScaleGalleryPicture(const PixelsRef& picture);

struct GalleryPicture {
    std::int32_t revision = 0;
    PixelsRef pixels;  // at most 512 on its longer side; never changed once stored
};
using GalleryCache = std::map<int, GalleryPicture>;  // picture id -> picture

// The worker writes under `lock` (GalleryLock); the render thread only tries it. `deadline`
// (GalleryDeadline) is read without it: pictures are shown while now < deadline.
struct Gallery {
    std::mutex lock;
    GalleryCache cache;
    std::atomic<Tick> deadline{0};
};
Gallery& PluginGallery();  // process-wide, never destroyed

// Deadline 0, then the cache emptied under the lock.
void ClearGallery(Gallery& gallery);

struct GalleryRecord {
    Tick next_due = 0;  // worker only
};

struct GalleryEffects {
    ApiRequestFn request;
    std::function<PixelsRef(const std::string& bytes)> decode;  // DecodePicture; throws
    TickSource clock;                                         // the deadline counts from the list's arrival
};

// Worker thread, from the session's OK answers; keeps its own 1000 ms timer. Never throws: any
// failure (transport, list, picture) clears the gallery until a later step succeeds.
void GalleryStep(GalleryRecord& record, Gallery& gallery, const GalleryEffects& fx, const ApiClient& client, Tick now,
                 const std::string& token);

}  // namespace hm
