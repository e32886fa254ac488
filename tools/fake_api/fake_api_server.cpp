// The fake community API as a program, for the demo and for trying the plugin by hand.
//   fake_api_server [--port N] [--base PATH] [--log FILE] [--ready-file FILE] [--wait-polls N] [--https]
//                   [--photo-world PICTURE] [--voice-room] [--npc-stage CLIP]
//                   [--newer-package FILE --newer-sha256 HEX]
//                   [--editor-world POLLS] [--tv N]
// Serves the scripted demo world until SIGINT or SIGTERM. Every request goes to the log (or
// standard output) as it arrives; --ready-file receives the base URL once the port listens.
// --https serves TLS with a throw-away certificate; the log names its DER file, and the ready
// file has it on a second line. --photo-world adds the demo's photo evening (shot 1, then photo 5
// served from the PICTURE file). --voice-room adds a voice room granting channels 0 and 1 (work
// radio) whose dispatcher (speaker 7, gain 200) repeats what the player says; each exchange is
// logged as one line (channel, samples sent, frames got). --npc-stage adds the receptionist
// (NPC 12): 3 s after the player's first words on the work radio she says CLIP (16 kHz mu-law),
// a greeting the server repeats in every manifest; each NPC request is logged as one line.
// --newer-package with --newer-sha256
// announces build 17306 "1.01" whose package is FILE, held back 6 s so the download shows.
// --editor-world opens the computer's form 7 (kind 10) after POLLS editor polls; editor request
// bodies (answers, action bodies, sketch sizes) are logged under their request. With
// --editor-computer POLLS the computer's desktop opens POLLS polls after the form was answered.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>

#include <sys/time.h>

#include "tools/fake_api/demo_world.h"
#include "tools/fake_api/editor_world.h"
#include "tools/fake_api/npc_stage.h"
#include "tools/fake_api/voice_room.h"
#include "tools/fake_api/fake_api.h"

namespace {

std::string Now() { return hm::fake::ClockTime(); }

int Usage() {
    std::cerr << "usage: fake_api_server [--port N] [--base PATH] [--log FILE] [--ready-file FILE] [--wait-polls N] "
                 "[--https]\n"
                 "                       [--photo-world PICTURE] [--voice-room] [--npc-stage CLIP]\n"
                 "                       [--editor-world POLLS [--editor-computer POLLS]]\n"
                 "                       [--newer-package FILE --newer-sha256 HEX]  (announce build 17306 with that package)\n"
                 "                       [--tv N]  (/tv/state answers \"TV N\")\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0, waitPolls = 3, editorPolls = -1, computerPolls = -1;
    std::string base = "/HM/MEDIA-PLUGIN/test-api", logPath, readyPath, photoWorld, newerPackage, newerSha256, npcClip;
    hm::fake::Scheme scheme = hm::fake::Scheme::Http;
    bool voiceRoom = false;
    std::string tvScreen;  // --tv: the screen /tv/state turns on
    hm::fake::VoiceRoom room;
    hm::fake::NpcStage stage;
    std::unique_ptr<hm::fake::EditorWorld> editor;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--voice-room") {
            voiceRoom = true;
            continue;
        }
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
        else if (arg == "--photo-world") photoWorld = value;
        else if (arg == "--npc-stage") npcClip = value;
        else if (arg == "--newer-package") newerPackage = value;
        else if (arg == "--newer-sha256") newerSha256 = value;
        else if (arg == "--editor-world") editorPolls = std::atoi(value.c_str());
        else if (arg == "--editor-computer") computerPolls = std::atoi(value.c_str());
        else if (arg == "--tv") tvScreen = value;
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
        if (!photoWorld.empty()) {
            std::ifstream picture(photoWorld, std::ios::binary);
            if (!picture) throw std::runtime_error("cannot read " + photoWorld);
            hm::fake::ScriptPhotoWorld(api, std::string(std::istreambuf_iterator<char>(picture), {}));
        }
        if (editorPolls >= 0) {
            hm::fake::EditorWorldOptions options;
            options.open_after_polls = editorPolls;
            options.computer_after_polls = computerPolls;
            editor = std::make_unique<hm::fake::EditorWorld>(options);
            editor->Attach(api);
        }
        if (!tvScreen.empty()) api.Script("GET", "/tv/state", hm::fake::Reply{200, "TV " + tvScreen + "\n"});
        if (voiceRoom) {
            room.SetCapability("35");
            room.SetLoopback(7, 200);
            room.Attach(api);
        }
        if (!npcClip.empty()) {
            std::ifstream in(npcClip, std::ios::binary);
            hm::fake::NpcStageEvent greeting;
            greeting.id = 41;
            greeting.npc = 12;
            greeting.gain = 255;
            greeting.delay_ms = 300;
            greeting.clip.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (greeting.clip.size() < 160 || greeting.clip.size() > 768000)
                throw std::runtime_error("--npc-stage needs a clip of 160..768000 mu-law bytes: " + npcClip);
            greeting.repeat = true;
            greeting.after_arm_ms = 3000;
            stage.Add(greeting);
            stage.Attach(api);
        }
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
            if (voiceRoom && request.path == "/voice/exchange") {
                // Several a second: one short line each instead of the full request.
                const auto seen = room.Exchanges();
                // The receptionist speaks up once the player has talked on the work radio.
                if (!npcClip.empty() && !seen.empty() && seen.back().channel == 1 && seen.back().samples.size() >= 160)
                    stage.Arm();
                if (!seen.empty())
                    log << Now() << " voice exchange channel=" << seen.back().channel << " sent="
                        << seen.back().samples.size() << " frames=" << seen.back().frames << " status=" << reply.status
                        << std::endl;
                return;
            }
            if (!npcClip.empty() && request.path.rfind("/npc-voice/", 0) == 0) {
                const auto seen = stage.Seen();
                if (!seen.empty()) {
                    const auto& n = seen.back();
                    log << Now() << " npc " << n.what << (n.what == "events" ? " after=" : " id=") << n.id
                        << (n.init ? " init=1" : "") << " status=" << reply.status;
                    if (n.what == "events") log << " events=" << n.events;
                    else log << " bytes=" << n.bytes;
                    log << std::endl;
                }
                return;
            }
            log << Now() << " " << hm::fake::DescribeRequest(request, reply.status) << std::endl;
            if (request.path.rfind("/editor/", 0) == 0 && !request.body.empty())
                log << "    editor body: " << hm::fake::DescribeEditorBody(request.body) << std::endl;
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
