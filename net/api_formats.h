// The web API's small plain-text answers: session grant, state, presence 426, TV state, release
// and update metadata. Every parser works on the body bytes only, never reads past them and
// reports a malformed body by throwing std::runtime_error with the exact reason text callers
// map to notices. All functions are pure and thread-safe; they double as fuzz entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

constexpr std::size_t kReleaseBodyMax = 128;
constexpr std::size_t kUpdateBodyMax = 256;
constexpr std::uint64_t kUpdatePackageMax = 536870912;  // 512 MiB

struct SessionGrant {
    std::string token;      // SessionToken, 64 lowercase hex
    std::string bind_code;  // BindCode, 12 lowercase hex
};

enum class StateKind { Wait, Ok };

// Photo request number, shown photo id and its revision of an OK state answer.
struct StateSnapshot {
    std::int32_t photo_request = 0;
    std::int32_t shown_photo_id = 0;
    std::int32_t shown_photo_revision = 0;
};

struct StateAnswer {
    StateKind kind = StateKind::Wait;
    StateSnapshot snapshot;  // zero for WAIT
};

struct ReleaseInfo {
    std::int32_t build = 0;  // positive
    std::string version;     // 1..24 of [0-9A-Za-z.-]
};

struct UpdateInfo {
    ReleaseInfo release;
    std::uint64_t size = 0;  // 1..kUpdatePackageMax
    std::string sha256;      // 64 lowercase hex
};

// Required build and version of a presence 426 answer.
struct RequiredUpdate {
    int build = 0;
    std::string version;
};

// Line mode: lines split at LF only; a final LF ends the last line instead of opening another.
// CR stays part of the line. An empty body is one empty line.
std::vector<std::string_view> SplitBodyLines(std::string_view body);

// Word mode: words separated by blank, tab, CR and LF.
std::vector<std::string_view> SplitBodyWords(std::string_view body);

bool IsLowerHex(std::string_view text, std::size_t length);

// Session grant of "/pair" and "/resume"; nullopt when malformed (the caller names the error:
// "pair" or "invalid resumed session"). Lines after the second are ignored.
std::optional<SessionGrant> ParseSessionGrant(std::string_view body);

// 200 body of "/state". Throws "invalid state protocol". Negative numbers pass here; the
// session's range check (CheckStateRange) rejects them at its point of the OK handling.
StateAnswer ParseStateBody(std::string_view body);

// Throws "invalid state" when the photo request number or shown photo id is negative.
void CheckStateRange(const StateSnapshot& snapshot);
bool InStateRange(const StateSnapshot& snapshot);

// 426 body of "/presence": line 2 by string-to-integer rules ("invalid stoi argument",
// "stoi argument out of range"), line 3 as it is.
RequiredUpdate ParsePresenceUpgrade(std::string_view body);

// 200 body of "/tv/state": the TV state value 1..32767 when the first words are "TV" and such a
// number; nullopt for anything else (no TV). Never throws.
std::optional<int> ParseTvState(std::string_view body);

// "HMPLUGIN" release body. Throws "release response too large", "invalid release response",
// "invalid release build", "invalid release version".
ReleaseInfo ParseReleaseBody(std::string_view body);

// "HMUPDATE" update body. Throws "update metadata too large", "invalid update metadata",
// "invalid update hash/size", "update too large" and the release texts for build and version.
UpdateInfo ParseUpdateBody(std::string_view body);

// Standard string-to-integer conversion with fixed error texts: leading whitespace and a sign
// allowed, trailing text ignored; "invalid stoi argument" / "stoi argument out of range".
int StoiText(std::string_view text);

// Runs every parser over one input; only std::runtime_error is expected to come out of them,
// anything else (or a crash) is a bug. libFuzzer target body.
void FuzzApiFormats(const std::uint8_t* data, std::size_t size);

}  // namespace hm
