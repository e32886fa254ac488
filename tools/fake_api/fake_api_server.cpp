// The fake community API as a program, for the demo and for trying the plugin by hand.
//   fake_api_server [--port N] [--base PATH] [--log FILE] [--ready-file FILE] [--wait-polls N] [--https]
// Serves the scripted demo world until SIGINT or SIGTERM. Every request goes to the log (or
// standard output) as it arrives; --ready-file receives the base URL once the port listens.
// --https serves TLS with a throw-away certificate; the log names its DER file, and the ready
// file has it on a second line.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>

#include <sys/time.h>

#include "tools/fake_api/demo_world.h"
#include "tools/fake_api/fake_api.h"

namespace {

std::string Now() { return hm::fake::ClockTime(); }

int Usage() {
    std::cerr << "usage: fake_api_server [--port N] [--base PATH] [--log FILE] [--ready-file FILE] [--wait-polls N] "
                 "[--https]\n"
                 "                       [--newer-package FILE --newer-sha256 HEX]  (announce build 17306 with that package)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0, waitPolls = 3;
    std::string base = "/HM/MEDIA-PLUGIN/test-api", logPath, readyPath, newerPackage, newerSha256;
    hm::fake::Scheme scheme = hm::fake::Scheme::Http;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--https") {
            scheme = hm::fake::Scheme::Https;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--port") port = std::atoi(value.c_str());
        else if (arg == "--base") base = value;
        else if (arg == "--log") logPath = value;
        else if (arg == "--ready-file") readyPath = value;
        else if (arg == "--wait-polls") waitPolls = std::atoi(value.c_str());
        else if (arg == "--newer-package") newerPackage = value;
        else if (arg == "--newer-sha256") newerSha256 = value;
        else return Usage();
    }

    // Signals are taken by sigwait below, never by the server's threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::ofstream logFile;
    if (!logPath.empty()) {
        logFile.open(logPath, std::ios::app);
        if (!logFile) {
            std::cerr << "cannot write " << logPath << "\n";
            return 1;
        }
    }
    std::ostream& log = logPath.empty() ? std::cout : logFile;
    std::mutex logLock;

    try {
        hm::fake::FakeApi api(scheme, base, port);
        hm::fake::ScriptDemoWorld(api, waitPolls);
        if (!newerPackage.empty()) {
            std::ifstream in(newerPackage, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in || bytes.empty()) {
                std::cerr << "cannot read " << newerPackage << "\n";
                return 1;
            }
            // Held back a few seconds, so the demo's frames show the download running.
            hm::fake::ScriptNewerRelease(api, bytes, newerSha256, 6000);
        }
        api.OnRequest([&](const hm::fake::RecordedRequest& request, const hm::fake::Reply& reply) {
            std::lock_guard<std::mutex> lock(logLock);
            log << Now() << " " << hm::fake::DescribeRequest(request, reply.status) << std::endl;
        });
        {
            std::lock_guard<std::mutex> lock(logLock);
            log << Now() << " fake API listening on " << api.BaseUrl();
            if (!api.CertificateFile().empty()) log << " (certificate " << api.CertificateFile() << ")";
            log << std::endl;
        }
        if (!readyPath.empty()) {
            const std::string tmp = readyPath + ".tmp";
            std::ofstream ready(tmp);
            ready << api.BaseUrl() << "\n";
            if (!api.CertificateFile().empty()) ready << api.CertificateFile() << "\n";
            ready.close();
            std::rename(tmp.c_str(), readyPath.c_str());
        }
        int sig = 0;
        sigwait(&stopSignals, &sig);
        std::lock_guard<std::mutex> lock(logLock);
        log << Now() << " fake API stopped (" << strsignal(sig) << "), " << api.Requests().size() << " requests"
            << std::endl;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
