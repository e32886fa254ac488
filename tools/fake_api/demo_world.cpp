#include "tools/fake_api/demo_world.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <ctime>
#include <vector>

namespace hm::fake {

void ScriptDemoWorld(FakeApi& api, int waitPolls) {
    const std::string grant = kDemoSessionToken + "\n" + kDemoBindCode + "\n";
    api.Script("POST", "/pair", Reply{201, grant});
    api.Script("POST", "/resume", Reply{201, grant});
    api.Script("POST", "/presence", Reply{200, ""});
    std::vector<Reply> state(std::size_t(waitPolls > 0 ? waitPolls : 0), Reply{200, "WAIT\n"});
    state.push_back(Reply{200, "OK\n0\n0\n"});
    api.ScriptSequence("GET", "/state", state);
    api.Script("POST", "/device", Reply{201, kDemoDeviceCredential + "\n"});
    api.Script("DELETE", "/session", Reply{204, ""});
    api.Script("DELETE", "/device", Reply{204, ""});
    api.Script("GET", "/client/release", Reply{200, "HMPLUGIN\n17305\n1.00\n"});
    api.Script("GET", "/tv/state", Reply{200, "OFF\n"});
    // Camera records for the car and the cab-TV truck; other models keep the plugin's defaults.
    api.Respond("GET", "/vehicle-camera", [](const RecordedRequest& r) {
        if (r.query == "v=2&model=400") return Reply{200, "HMCAM2 400 0 -0.12 0.78 0 70 0 -1\n"};
        if (r.query == "v=2&model=403") return Reply{200, "HMCAM2 403 0 -0.1 0.8 -2 80 0 -1\n"};
        return Reply{404, ""};
    });
}

void ScriptPhotoWorld(FakeApi& api, const std::string& photo) {
    // Polls come every 350 ms: about 3 s of an idle session, 9 s with the shot asked for, 21 s
    // with photo 5 named; then nothing to show, so later evenings start without a photo. The
    // count starts with the first resumed session: an evening that pairs first (the consent
    // evening) sees an idle session and leaves the sequence to the evening that resumes.
    std::vector<Reply> state(8, Reply{200, "OK\n0\n0\n"});
    state.insert(state.end(), 25, Reply{200, "OK\n1\n0\n"});
    state.insert(state.end(), 60, Reply{200, "OK\n1\n5\n1\n"});
    state.push_back(Reply{200, "OK\n0\n0\n"});
    struct Sequence {
        std::mutex lock;
        bool resumed = false;
        std::size_t next = 0;
    };
    auto seq = std::make_shared<Sequence>();
    const std::string grant = kDemoSessionToken + "\n" + kDemoBindCode + "\n";
    api.Respond("POST", "/resume", [seq, grant](const RecordedRequest&) {
        std::lock_guard<std::mutex> hold(seq->lock);
        seq->resumed = true;
        return Reply{201, grant};
    });
    api.Respond("GET", "/state", [seq, state](const RecordedRequest&) {
        std::lock_guard<std::mutex> hold(seq->lock);
        if (!seq->resumed) return Reply{200, "OK\n0\n0\n"};
        return state[std::min(seq->next++, state.size() - 1)];
    });
    api.Script("POST", "/upload", Reply{201, ""});
    api.Script("GET", "/photo/5", Reply{200, photo});
    api.Script("GET", "/photo/5/access", Reply{200, ""});
    // The noticeboard: once a session resumed, picture 1057 (the same picture) hangs in the world.
    api.Respond("GET", "/pictures/state", [seq](const RecordedRequest&) {
        std::lock_guard<std::mutex> hold(seq->lock);
        return Reply{200, seq->resumed ? "PICTURES\n1057 1\n" : "PICTURES\n"};
    });
    api.Script("GET", "/pictures/1057/1", Reply{200, photo});
}

void ScriptNewerRelease(FakeApi& api, const std::string& package, const std::string& sha256, int delayMs) {
    api.Script("GET", "/client/release", Reply{200, "HMPLUGIN\n17306\n1.01\n"});
    api.Script("GET", "/client/update",
               Reply{200, "HMUPDATE\n17306\n1.01\n" + std::to_string(package.size()) + "\n" + sha256 + "\n"});
    api.Script("GET", "/downloads/HM_Plugin-test-client.zip", Reply::Delayed(delayMs, Reply{200, package}));
}

std::string ClockTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    localtime_r(&tv.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  int(tv.tv_usec / 1000));
    return text;
}

std::string DescribeRequest(const RecordedRequest& request, int status) {
    std::string line = request.method + " " + request.target + " -> " +
                       (status ? std::to_string(status) : std::string("no answer"));
    for (const auto& [name, value] : request.headers) line += "\n    " + name + ": " + value;
    if (!request.body.empty()) line += "\n    (body: " + std::to_string(request.body.size()) + " bytes)";
    return line;
}

}  // namespace hm::fake
