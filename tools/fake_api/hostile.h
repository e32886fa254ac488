// A server that lies: every answer of the fake API, for every endpoint, turned by a seeded
// random choice into one of the ways a broken or hostile server can answer. Every other answer
// of each endpoint stays valid, so the plugin keeps getting somewhere between the lies, also on
// the endpoints it calls rarely (a shot's upload among dozens of voice exchanges). The seed
// replays a run.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>

#include "tools/fake_api/fake_api.h"

namespace hm::fake {

enum class Lie : int {
    kNone,            // the valid answer
    kWrongStatus,     // another status, same body
    kRedirect,        // 301/302/307 elsewhere
    kCutBody,         // declared length kept, the body cut short, then FIN
    kResetBody,       // the same with a reset, inside the body only
    kCutHead,         // the head cut (FIN; under Wine never a reset there)
    kAbsurdLength,    // Content-Length of 2^64-1 or more, short body
    kAtLimit,         // the body padded to exactly the endpoint's limit
    kPastLimit,       // one byte past it
    kWrongMagic,      // the first letter of the body changed
    kJunk,            // random bytes, 0-600 of them
    kCodePage,        // bytes 0x80-0xFF spliced in
    kNumbers,         // every number replaced by a negative or huge one
    kDelay,           // held back up to just past the 5 s receive time-out
    kEmpty,           // nothing at all after the head
    kCount
};

const char* LieName(Lie lie);

// The body limit the plugin applies to an endpoint's answers.
std::size_t BodyLimitOf(const std::string& path);

class HostileAnswers {
public:
    // underWine: never the one cut that kills Wine's WinHTTP (docs/wine-winhttp-reset.md).
    HostileAnswers(std::uint64_t seed, bool underWine);

    Reply Twist(const RecordedRequest& request, Reply valid);  // thread-safe

    std::uint64_t seed() const { return seed_; }
    std::array<long, int(Lie::kCount)> Counts() const;
    long Answers() const;

private:
    Lie Choose(const std::string& path);
    std::string Body(std::size_t size, bool binary);

    std::uint64_t seed_;
    bool underWine_;
    mutable std::mutex mu_;
    std::mt19937_64 random_;
    long answers_ = 0;
    std::map<std::string, long> answers_by_path_;
    std::array<long, int(Lie::kCount)> counts_{};
};

}  // namespace hm::fake
