// libFuzzer entry: /pictures/state bodies.
#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string_view>

#include "photos/gallery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto list = hm::ParsePictureList(std::string_view(reinterpret_cast<const char*>(data), size));
        std::set<int> ids;
        for (const hm::GalleryEntry& e : list)
            if (e.id < 1 || e.id > hm::kGalleryMaxPictureId || e.revision < 1 || !ids.insert(e.id).second) __builtin_trap();
        if (list.size() > std::size_t(hm::kGalleryMaxEntries)) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
