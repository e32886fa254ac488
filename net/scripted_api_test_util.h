// A scripted web API for the tests of code that calls it through a request seam: per
// "METHOD path" its one-shot answers first, then a standing one, then the test's fallback. A
// reply may be a transport failure instead, thrown with its text as the client throws it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/ticks.h"
#include "net/api_types.h"

namespace hm::test {

struct ScriptedReply {
    int status = 0;
    std::string body;
    const char* failure = nullptr;  // set: no answer, this error instead
};
inline ScriptedReply Status(int status, std::string body = "") { return {status, std::move(body), nullptr}; }
inline ScriptedReply NetworkDown() { return {0, "", "HTTPS request failed"}; }

struct ScriptedSent {
    std::string method, path, bearer, body;
    Tick at = 0;
    std::string Key() const { return method + " " + path; }
};

class ScriptedApi {
public:
    using Fallback = std::function<ScriptedReply(const std::string& key)>;
    explicit ScriptedApi(Fallback fallback = [](const std::string&) { return Status(404); })
        : fallback_(std::move(fallback)) {}

    void Next(const std::string& key, ScriptedReply reply) { queued_[key].push_back(std::move(reply)); }
    void Always(const std::string& key, ScriptedReply reply) { standing_[key] = std::move(reply); }

    ApiResponse Handle(const std::string& method, const std::string& path, const std::string& bearer,
                       const std::string& body = "", Tick at = 0) {
        sent.push_back({method, path, bearer, body, at});
        const std::string key = method + " " + path;
        ScriptedReply reply;
        auto& queue = queued_[key];
        if (!queue.empty()) {
            reply = queue.front();
            queue.pop_front();
        } else if (const auto standing = standing_.find(key); standing != standing_.end()) {
            reply = standing->second;
        } else {
            reply = fallback_(key);
        }
        if (reply.failure) throw std::runtime_error(reply.failure);
        return {reply.status, reply.body};
    }

    int Count(const std::string& key) const {
        int n = 0;
        for (const auto& s : sent) n += s.Key() == key;
        return n;
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& s : sent) keys.push_back(s.Key());
        return keys;
    }

    std::vector<ScriptedSent> sent;

private:
    Fallback fallback_;
    std::map<std::string, ScriptedReply> standing_;
    std::map<std::string, std::deque<ScriptedReply>> queued_;
};

}  // namespace hm::test
