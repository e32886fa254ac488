// Plays a scripted scenario with the fake game and the plugin under Wine, against an API that
// runs elsewhere (the demo starts fake_api_server). Needs HM_WIN32_BIN and HM_WINE_RUN.
//   fake_world_drive --dir <run folder> --api-url <url> [--shots <folder>] [--exe <name>]
//                    [--host <h>] [--port <p>] [--name <n>] [--ini KEY=VALUE]... [--game-arg ARG]... [--samp 1]
//                    [--helper <win64 bin folder>]  (installs HM_PluginBrowser/ with the fake framework)
//                    <script>
// --samp 1 puts the fake samp.dll beside the game and has the game load it.
// The script holds one fake-game command a line ('#' comments); besides the game's commands:
//   sleep <ms>              the driver waits, the game idles
//   screenshot <file.png>   saved into the shots folder
// Every command and answer is printed; an answer other than "ok" ends the run with exit 1.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <sys/time.h>

#include "tools/fake_api/demo_world.h"
#include "tools/e2e/e2e_harness.h"

namespace {

namespace fs = std::filesystem;

std::string Now() { return hm::fake::ClockTime(); }

int Usage() {
    std::cerr << "usage: fake_world_drive --dir <run folder> --api-url <url> [--shots <folder>] [--exe <name>]\n"
                 "                        [--host <h>] [--port <p>] [--name <n>] [--ini KEY=VALUE]... [--game-arg ARG]...\n"
                 "                        [--samp 1] <script>\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, apiUrl, shots, script;
    hm::e2e::GameOptions options;
    hm::e2e::IniKeys extraIni;
    bool samp = false;
    std::string helperBin;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.compare(0, 2, "--") != 0) {
            script = arg;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--dir") dir = value;
        else if (arg == "--api-url") apiUrl = value;
        else if (arg == "--shots") shots = value;
        else if (arg == "--exe") options.exeName = value;
        else if (arg == "--host") options.host = value;
        else if (arg == "--port") options.port = std::atoi(value.c_str());
        else if (arg == "--name") options.name = value;
        else if (arg == "--game-arg") options.extraArgs.push_back(value);
        else if (arg == "--samp") samp = value == "1";
        else if (arg == "--helper") helperBin = value;
        else if (arg == "--ini" && value.find('=') != std::string::npos)
            extraIni.emplace_back(value.substr(0, value.find('=')), value.substr(value.find('=') + 1));
        else return Usage();
    }
    if (dir.empty() || apiUrl.empty() || script.empty()) return Usage();
    std::ifstream lines(script);
    if (!lines) {
        std::cerr << "cannot read " << script << "\n";
        return 2;
    }
    const fs::path runDir = fs::absolute(dir);
    if (shots.empty()) shots = runDir.string();
    fs::create_directories(shots);
    ::setenv("HM_E2E_DIR", runDir.parent_path().c_str(), 1);

    try {
        hm::e2e::Scenario s(runDir.filename().string());
        hm::e2e::IniKeys ini{{"Enabled", "1"}, {"ApiUrl", apiUrl}, {"AllowLocalHttp", "1"}};
        ini.insert(ini.end(), extraIni.begin(), extraIni.end());
        s.WriteIni(ini);
        if (samp) {
            fs::copy_file(std::string(std::getenv("HM_WIN32_BIN")) + "/samp.dll", s.dir() + "/samp.dll",
                          fs::copy_options::overwrite_existing);
            options.extraArgs.push_back("--hm-samp");
        }
        if (!helperBin.empty()) {
            // The helper folder as the full package lays it out, with the fake framework and
            // stand-ins for its data files; the page announces that it plays.
            const fs::path helper = fs::path(s.dir()) / "HM_PluginBrowser";
            fs::create_directories(helper);
            for (const char* f : {"HM_PluginBrowser.exe", "libcef.dll"})
                fs::copy_file(fs::path(helperBin) / f, helper / f, fs::copy_options::overwrite_existing);
            for (const char* f : {"chrome_elf.dll", "icudtl.dat", "resources.pak", "v8_context_snapshot.bin"})
                std::ofstream(helper / f) << "stand-in";
            std::ofstream(helper / "fake_cef_script.txt") << "title=2:HMMedia:playing\n";
            fs::remove(helper / "fake_cef_record.txt");
        }
        std::cout << Now() << " HM_Plugin.ini:";
        for (const auto& [k, v] : ini) std::cout << " " << k << "=" << v;
        std::cout << "\n" << Now() << " starting " << options.exeName << " under Wine" << std::endl;
        const auto started = std::chrono::steady_clock::now();
        s.StartGame(options);
        std::cout << Now() << " game up after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count()
                  << " ms: " << s.greeting() << std::endl;
        std::string line;
        bool quit = false;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::cout << Now() << " > " << line << std::endl;
            std::string answer;
            if (line.compare(0, 6, "sleep ") == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(line.c_str() + 6)));
                answer = "ok";
            } else if (line.compare(0, 11, "screenshot ") == 0) {
                const fs::path file = fs::path(shots) / line.substr(11);
                answer = s.Command("screenshot " + hm::e2e::WindowsPath(file.string()));
                if (answer.compare(0, 2, "ok") == 0) answer += " -> " + file.string();
            } else {
                answer = s.Command(line);
                quit = quit || line == "quit";
            }
            std::cout << Now() << " < " << answer << std::endl;
            if (answer.compare(0, 2, "ok") != 0) {
                std::cout << Now() << " stopping: the game refused the command" << std::endl;
                return 1;
            }
            if (quit) break;
        }
        const int rc = quit ? s.WaitExit(std::chrono::seconds(90)) : s.Quit();
        std::cout << Now() << " game exited with " << rc << std::endl;
        return rc == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cout << Now() << " failed: " << e.what() << std::endl;
        return 1;
    }
}
