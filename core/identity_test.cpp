// The game's command line: the start-up gate and the player identity rules.
#include <gtest/gtest.h>

#include <random>

#include "core/identity.h"

namespace hm {
namespace {

using Args = std::vector<std::wstring>;
const std::wstring kServer = L"play.hollowmarsh-rp.cz";

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
std::string Join(const Args& args) {
    std::string s;
    for (const auto& a : args) s += "[" + Narrow(a) + "]";
    return s;
}

TEST(StartupGate, EveryHostSwitchMustNameTheCommunityServer) {
    struct Case {
        Args args;
        bool on;
    } cases[] = {
        {{L"-h", kServer, L"-p", L"7777"}, true},
        {{L"-h" + kServer}, true},                       // glued
        {{L"/h", kServer}, true},
        {{L"/h" + kServer}, true},
        {{}, false},                                     // no host at all
        {{L"-c", L"-n", L"Karel"}, false},
        {{L"-h", L"other.example"}, false},
        {{L"-h", kServer, L"-h", L"other.example"}, false},  // a second, different host refuses
        {{L"-h", L"other.example", L"-h", kServer}, false},
        {{L"-h", kServer, L"-h" + kServer}, true},
        {{L"-h"}, false},                                // empty host
        {{L"-h", L""}, false},
        {{L"-H", kServer}, false},                       // switches are lower case
        {{L"-h", L"PLAY.HOLLOWMARSH-RP.CZ"}, false},     // exact comparison
        {{L"-h", kServer + L" "}, false},
        // Values of -n -p -z are skipped, even when they look like host switches.
        {{L"-n", L"-hother", L"-h", kServer}, true},
        {{L"-z", L"-hother", L"-h", kServer}, true},
        {{L"/p", L"-hother", L"-h", kServer}, true},
        {{L"-p7777", L"-h", kServer}, true},
        // A glued -n is just an argument; it takes no value with it.
        {{L"-nKarel", L"-h", L"other.example"}, false},
        // -hfoo style: the rest of the argument is the host, the next one is not.
        {{L"-hx", kServer}, false},
        {{L"-hosting", kServer}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsCommunityServerCommandLine(c.args, kServer), c.on) << Join(c.args);
    }
}

TEST(StartupGate, TheBuiltInServerIsTheCommunityAddress) {
    EXPECT_FALSE(std::wstring(CommunityServerAddress()).empty());
    EXPECT_TRUE(IsCommunityServerCommandLine({L"-h", CommunityServerAddress()}, CommunityServerAddress()));
}

TEST(PlayerIdentity, PortFromIniThenCommandLine) {
    struct Case {
        Args args;
        std::uint16_t iniPort;
        std::uint16_t port;
    } cases[] = {
        {{}, 7777, 7777},
        {{L"-p", L"7778"}, 7777, 7778},
        {{L"/p", L"7778"}, 7777, 7778},
        {{L"-p7779"}, 7777, 7779},           // glued with the dash
        {{L"/p7779"}, 7777, 7777},           // not with the slash
        {{L"-p", L"0"}, 7777, 27017},        // converted, then out of range
        {{L"-p", L"65536"}, 7777, 27017},
        {{L"-p", L"65535"}, 7777, 65535},
        {{L"-p", L"-5"}, 7777, 27017},
        {{L"-p", L"abc"}, 7777, 27017},
        {{L"-p", L"4294967297"}, 7777, 27017},  // no wrap-around into range
        {{L"-p", L"7780x"}, 7777, 7780},
        {{L"-p"}, 7777, 7777},               // no value follows: the INI's port stays
        {{L"-p", L"7001", L"-p", L"7002"}, 7777, 7002},
        {{L"-n", L"-p9000"}, 7777, 7777},    // the name's value is no switch
        {{L"-h", L"-p9000"}, 7777, 7777},    // nor is the host's
        {{}, 0, 27017},                      // the INI's own rule
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolvePlayerIdentity(c.args, c.iniPort, L"", L"").port, c.port) << Join(c.args);
    }
}

TEST(PlayerIdentity, NameFromCommandLineThenRegistryThenIni) {
    struct Case {
        Args args;
        const wchar_t* registry;
        const wchar_t* ini;
        const char* name;
    } cases[] = {
        {{L"-n", L"Karel_Novak"}, L"Reg_Name", L"Ini_Name", "Karel_Novak"},
        {{L"/n", L"Karel_Novak"}, L"Reg_Name", L"Ini_Name", "Karel_Novak"},
        {{L"-nKarel_Novak"}, L"Reg_Name", L"Ini_Name", "Karel_Novak"},
        {{L"/nKarel_Novak"}, L"Reg_Name", L"Ini_Name", "Reg_Name"},  // glued only with the dash
        {{}, L"Reg_Name", L"Ini_Name", "Reg_Name"},
        {{L"-n", L""}, L"Reg_Name", L"Ini_Name", "Reg_Name"},
        {{}, L"", L"Ini_Name", "Ini_Name"},
        {{}, L"", L"", ""},
        // The first non-empty source decides even when it is not a valid name.
        {{L"-n", L"Bad Name"}, L"Reg_Name", L"Ini_Name", ""},
        {{}, L"ab", L"Ini_Name", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolvePlayerIdentity(c.args, 7777, c.registry, c.ini).name, c.name) << Join(c.args);
    }
}

TEST(PlayerIdentity, NameRules) {
    struct Case {
        std::wstring name;
        bool kept;
    } cases[] = {
        {L"abc", true},
        {L"ab", false},
        {std::wstring(24, L'x'), true},
        {std::wstring(25, L'x'), false},
        {L"Karel Novak", false},
        {L"Karel_Novak", true},
        {L"[HM]Pan.$()=_9", true},
        {L"Name-With-Dash", false},
        {L"Name@Home", false},
        {L"Kar\u010Dl", false},   // č is a 1250 character but not an allowed one
        {L"Kar\u4E2Dl", false},   // not in code page 1250 at all
        {L"Kar?l", false},
        {std::wstring(L"Ka\0rl", 5), false},
        {L"", false},
    };
    for (const Case& c : cases) {
        const std::string kept = ValidPlayerName(c.name);
        EXPECT_EQ(!kept.empty(), c.kept) << Narrow(c.name);
        if (c.kept) {
            EXPECT_EQ(kept, Narrow(c.name));
        }
    }
}

TEST(CommandLineFuzzEntry, SurvivesArbitraryBytes) {
    std::mt19937 rng(4);
    const std::string seeds[] = {std::string("-\0h\0\0\0", 6), std::string("-\0p\0\0\0", 6), std::string("-\0n\0", 4)};
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int pieces = int(rng() % 12);
        for (int i = 0; i < pieces; ++i) {
            if (rng() % 2) {
                bytes += seeds[rng() % 3];
            } else {
                for (int k = int(rng() % 9); k > 0; --k) bytes += char(rng() % 3 == 0 ? 0 : '0' + rng() % 75);
            }
        }
        EXPECT_EQ(FuzzCommandLineWalk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace
}  // namespace hm
