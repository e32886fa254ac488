#include "tools/fake_api/hostile.h"

#include <cctype>

namespace hm::fake {

const char* LieName(Lie lie) {
    static const char* const names[] = {"valid",     "wrong status", "redirect",    "cut body",  "reset body",
                                        "cut head",  "absurd length", "at limit",   "past limit", "wrong magic",
                                        "junk",      "code page",    "numbers",     "delay",     "empty"};
    return int(lie) >= 0 && int(lie) < int(Lie::kCount) ? names[int(lie)] : "?";
}

std::size_t BodyLimitOf(const std::string& path) {
    if (path == "/client/release") return 128;
    if (path == "/client/update") return 256;
    return 4194304;
}

HostileAnswers::HostileAnswers(std::uint64_t seed, bool underWine) : seed_(seed), underWine_(underWine), random_(seed) {}

Lie HostileAnswers::Choose(const std::string& path) {
    // Valid and invalid alternate on each endpoint: every second answer is a lie, chosen evenly
    // among them.
    if (answers_by_path_[path]++ % 2 == 0) return Lie::kNone;
    std::uniform_int_distribution<int> pick(1, int(Lie::kCount) - 1);
    return Lie(pick(random_));
}

std::string HostileAnswers::Body(std::size_t size, bool binary) {
    std::string out(size, '\0');
    std::uniform_int_distribution<int> byte(binary ? 0 : 0x20, binary ? 255 : 0x7e);
    for (char& c : out) c = char(byte(random_));
    return out;
}

Reply HostileAnswers::Twist(const RecordedRequest& request, Reply valid) {
    std::lock_guard<std::mutex> lock(mu_);
    const Lie lie = valid.never_answer || valid.close_connection ? Lie::kNone : Choose(request.path);
    ++answers_;
    ++counts_[int(lie)];
    Reply r = std::move(valid);
    auto pick = [this](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); };
    const std::string head = AnswerBytes(r, true, false);
    switch (lie) {
        case Lie::kNone:
        case Lie::kCount:
            break;
        case Lie::kWrongStatus: {
            static const int statuses[] = {100, 200, 201, 204, 304, 400, 401, 403, 404, 409,
                                           418, 426, 429, 500, 502, 503, 599, 999};
            r.status = statuses[pick(0, int(std::size(statuses)) - 1)];
            // A 401 or 403 to /resume revokes the remembered device: the plugin rightly forgets
            // it (its own tests show that) and would stay disconnected for the rest of a soak.
            if (request.path == "/resume" && (r.status == 401 || r.status == 403)) r.status = 503;
            if (r.status == 100 || r.status == 304 || r.status == 204) r.body.clear();
            break;
        }
        case Lie::kRedirect: {
            static const int statuses[] = {301, 302, 303, 307, 308};
            r.status = statuses[pick(0, 4)];
            r.headers.push_back({"Location", pick(0, 1) ? "http://127.0.0.1:1/elsewhere" : "/HM/MEDIA-PLUGIN/test-api/state"});
            break;
        }
        case Lie::kCutBody:
        case Lie::kResetBody:
            if (r.body.empty()) r.body = Body(std::size_t(pick(1, 64)), false);
            r.cut_at = head.size() + std::size_t(pick(0, int(r.body.size()) - 1));
            r.reset = lie == Lie::kResetBody;
            break;
        case Lie::kCutHead: {
            r.cut_at = std::size_t(pick(1, int(head.size()) - 1));
            // A reset there would kill Wine's WinHTTP; the orderly close is just as cut.
            r.reset = !underWine_ && pick(0, 1) == 1;
            break;
        }
        case Lie::kAbsurdLength: {
            static const char* const lengths[] = {"18446744073709551615", "18446744073709551616", "99999999999999999999999",
                                                  "-1", "4294967296", "1e3"};
            r.headers.push_back({"Content-Length", lengths[pick(0, 5)]});
            r.cut_at = AnswerBytes(r, true, false).size() + r.body.size();  // then closed
            break;
        }
        case Lie::kAtLimit:
        case Lie::kPastLimit: {
            const std::size_t limit = BodyLimitOf(request.path) + (lie == Lie::kPastLimit ? 1 : 0);
            if (r.body.size() < limit) r.body += std::string(limit - r.body.size(), pick(0, 1) ? '\n' : 'x');
            r.body.resize(limit);
            break;
        }
        case Lie::kWrongMagic:
            if (r.body.empty()) r.body = "HMPLUGIN\n";
            r.body[0] = char(r.body[0] ^ 0x20) == r.body[0] ? '?' : char(r.body[0] ^ 0x20);
            break;
        case Lie::kJunk:
            r.body = Body(std::size_t(pick(0, 600)), true);
            break;
        case Lie::kCodePage: {
            const std::string high = Body(std::size_t(pick(1, 16)), true);
            std::string spliced;
            for (char c : high) spliced += char(static_cast<unsigned char>(c) | 0x80);
            r.body.insert(std::size_t(pick(0, int(r.body.size()))), spliced);
            break;
        }
        case Lie::kNumbers: {
            static const char* const numbers[] = {"-1", "-2147483648", "2147483648", "4294967296", "-0",
                                                  "99999999999999999999", "+7", "0x10"};
            std::string out;
            for (std::size_t i = 0; i < r.body.size();) {
                if (std::isdigit(static_cast<unsigned char>(r.body[i]))) {
                    while (i < r.body.size() && std::isdigit(static_cast<unsigned char>(r.body[i]))) ++i;
                    out += numbers[pick(0, 7)];
                } else {
                    out += r.body[i++];
                }
            }
            r.body = out.empty() ? std::string(numbers[pick(0, 7)]) : out;
            break;
        }
        case Lie::kDelay:
            r.delay_ms = pick(0, 5500);
            break;
        case Lie::kEmpty:
            r.body.clear();
            break;
    }
    return r;
}

std::array<long, int(Lie::kCount)> HostileAnswers::Counts() const {
    std::lock_guard<std::mutex> lock(mu_);
    return counts_;
}

long HostileAnswers::Answers() const {
    std::lock_guard<std::mutex> lock(mu_);
    return answers_;
}

}  // namespace hm::fake
