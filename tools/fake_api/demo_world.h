// The web API as the demo and the first end-to-end scenarios meet it: a community server that
// pairs, binds the session after a few polls and then reports an idle state.
#pragma once

#include <string>

#include "tools/fake_api/fake_api.h"

namespace hm::fake {

// Session values the scripted world hands out (lowercase hex, as the API writes them).
inline const std::string kDemoSessionToken = "5e55100000000000000000000000000000000000000000000000000000c0ffee";
inline const std::string kDemoBindCode = "b1dc0de00042";
inline const std::string kDemoDeviceCredential = "de71ce0000000000000000000000000000000000000000000000000000000001";

// Scripts pairing, resume, presence, state (WAIT for the first polls, then OK with nothing to
// show), device remembering, session and device deletion, the release check and the TV state.
void ScriptDemoWorld(FakeApi& api, int waitPolls = 3);

// A later evening of the demo, on top of ScriptDemoWorld: the resumed session polls OK a few
// times, then the server asks for shot 1 (upload accepted) and, a few polls later, names photo 5,
// served as `photo` with its keep-alive, for about 21 s; afterwards it names nothing. Sessions
// paired before the first resume see an idle server. Once a session resumed, the gallery lists
// picture 1057 (the same picture); before, an empty gallery.
void ScriptPhotoWorld(FakeApi& api, const std::string& photo);

// A newer release, build 17306 "1.01": the release and update answers and the package itself at
// its absolute path (the test client's name, as the demo's base path is the test API), held back
// for delayMs so that the download can be seen while it runs.
void ScriptNewerRelease(FakeApi& api, const std::string& package, const std::string& sha256, int delayMs = 0);

// Local wall-clock time "hh:mm:ss.mmm" for the demo's logs.
std::string ClockTime();

// One request as a readable log line: method, target, status and every header in order.
std::string DescribeRequest(const RecordedRequest& request, int status);

}  // namespace hm::fake
