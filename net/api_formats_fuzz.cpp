// libFuzzer target over every API answer parser: only std::runtime_error may come out, and what
// a parser accepts, written back in the answer's own format, parses to the same values.
//   tools/fuzz.sh 60   (or build/fuzz/bin/api_formats_fuzz -max_total_time=60 after the fuzz preset)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "net/api_formats.h"

namespace {

template <typename Parse>
bool Parses(Parse&& parse) {
    try {
        parse();
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hm::FuzzApiFormats(data, size);
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    if (const auto grant = hm::ParseSessionGrant(body)) {
        Check(hm::IsLowerHex(grant->token, 64) && hm::IsLowerHex(grant->bind_code, 12));
        const auto again = hm::ParseSessionGrant(grant->token + "\n" + grant->bind_code + "\n");
        Check(again && again->token == grant->token && again->bind_code == grant->bind_code);
    }
    hm::StateAnswer state;
    if (Parses([&] { state = hm::ParseStateBody(body); })) {
        const hm::StateSnapshot& s = state.snapshot;
        const std::string text = state.kind == hm::StateKind::Wait
                                     ? std::string("WAIT\n")
                                     : "OK " + std::to_string(s.photo_request) + " " + std::to_string(s.shown_photo_id) +
                                           " " + std::to_string(s.shown_photo_revision) + "\n";
        const hm::StateAnswer again = hm::ParseStateBody(text);
        Check(again.kind == state.kind && again.snapshot.photo_request == s.photo_request &&
              again.snapshot.shown_photo_id == s.shown_photo_id &&
              (state.kind == hm::StateKind::Wait || again.snapshot.shown_photo_revision == s.shown_photo_revision));
        Check(hm::InStateRange(s) == Parses([&] { hm::CheckStateRange(s); }));
    }
    if (const auto tv = hm::ParseTvState(body)) {
        Check(*tv >= 1 && *tv <= 32767);
        Check(hm::ParseTvState("TV " + std::to_string(*tv)) == tv);
    }
    hm::ReleaseInfo release;
    if (Parses([&] { release = hm::ParseReleaseBody(body); })) {
        Check(release.build > 0 && !release.version.empty() && release.version.size() <= 24);
        const hm::ReleaseInfo again =
            hm::ParseReleaseBody("HMPLUGIN\n" + std::to_string(release.build) + "\n" + release.version + "\n");
        Check(again.build == release.build && again.version == release.version);
    }
    hm::UpdateInfo update;
    if (Parses([&] { update = hm::ParseUpdateBody(body); })) {
        Check(update.size >= 1 && update.size <= hm::kUpdatePackageMax && hm::IsLowerHex(update.sha256, 64));
        const hm::UpdateInfo again = hm::ParseUpdateBody("HMUPDATE\n" + std::to_string(update.release.build) + "\n" +
                                                         update.release.version + "\n" + std::to_string(update.size) +
                                                         "\n" + update.sha256 + "\n");
        Check(again.size == update.size && again.sha256 == update.sha256 &&
              again.release.build == update.release.build && again.release.version == update.release.version);
    }
    return 0;
}
