// Test program: one ApiRequest as the plugin makes it, result on standard output. Driven by the
// host's transport tests against the fake API.
//   api_request_probe.exe <url> <allowLocalHttp 0|1> <consent 0|1> <name|-> <port>
//                         <method> <path> <bearer|-> <shot> <body bytes>
// Prints "status=<n> size=<bytes> fnv=<hex> ms=<elapsed> body=<up to 200 bytes>" or
// "error=<text> ms=<elapsed>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>

#include "core/fnv1a.h"
#include "core/plugin.h"
#include "core/shared_state.h"
#include "net/api_request_win.h"
#include "net/url_policy_win.h"

int main(int argc, char** argv) {
    if (argc != 11) {
        std::fprintf(stderr, "usage: api_request_probe url local consent name port method path bearer shot bytes\n");
        return 2;
    }
    const std::string url = argv[1];
    const std::string name = std::string(argv[4]) == "-" ? "" : argv[4];
    const std::string bearer = std::string(argv[8]) == "-" ? "" : argv[8];
    hm::Plugin().consent_given.store(std::atoi(argv[3]) != 0);
    {
        hm::SharedState& shared = hm::PluginShared();
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.identity.name = name;
        shared.identity.port = std::uint16_t(std::atoi(argv[5]));
    }
    std::string body(std::size_t(std::strtoul(argv[10], nullptr, 10)), 'b');
    const ULONGLONG start = GetTickCount64();
    try {
        const hm::ApiClient client = hm::MakeApiClient(std::wstring(url.begin(), url.end()), std::atoi(argv[2]) != 0);
        const hm::ApiResponse r = hm::ApiRequest(client, argv[6], argv[7], bearer, body,
                                                 std::uint32_t(std::strtoul(argv[9], nullptr, 10)));
        std::printf("status=%d size=%u fnv=%08x ms=%llu body=%s\n", int(r.status), unsigned(r.body.size()),
                    unsigned(hm::Fnv1a32(r.body)), GetTickCount64() - start, r.body.substr(0, 200).c_str());
    } catch (const std::exception& e) {
        std::printf("error=%s ms=%llu\n", e.what(), GetTickCount64() - start);
    }
    return 0;
}
