// Portable rules of the web API client: URL policy, header block, SMBIOS walk, device file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>

#include "net/answer_framing.h"
#include "net/device_store.h"
#include "net/hardware_id.h"
#include "net/header_block.h"
#include "net/url_policy.h"

namespace hm {
namespace {

// ---- Answer framing --------------------------------------------------------------------------

TEST(AnswerFraming, ContentLengthValues) {
    const std::uint64_t kMax = ~std::uint64_t(0);
    struct Case {
        const char* text;
        std::optional<std::uint64_t> value;
    } cases[] = {
        {"0", 0},
        {"64", 64},
        {" 7\t", 7},
        {"4194304", 4194304},
        {"18446744073709551615", kMax},
        {"18446744073709551616", kMax},  // past 2^64 - 1: saturates, never wraps to 0
        {"99999999999999999999999999", kMax},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {"12ab", std::nullopt},
        {"1 2", std::nullopt},
        {"0x10", std::nullopt},
        {"?", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ContentLengthValue(c.text), c.value) << "'" << c.text << "'";
}

TEST(AnswerFraming, CutBodiesAndCutHeadsAreIncomplete) {
    struct Case {
        const char* what;
        int status;
        const char* length;  // nullptr: no Content-Length
        bool coded;
        std::uint64_t body;
        bool complete;
    } cases[] = {
        {"declared and read alike", 200, "9", false, 9, true},
        {"declared 64, 7 read", 200, "64", false, 7, false},
        {"declared 2^64 - 1, 9 read", 200, "18446744073709551615", false, 9, false},
        {"declared past 2^64, 0 read", 200, "18446744073709551616", false, 0, false},
        {"declared 0, 0 read", 200, "0", false, 0, true},
        {"declared nonsense", 200, "abc", false, 3, false},
        {"declared too long to hold", 200, "?", false, 0, false},
        {"unframed body read to the end", 200, nullptr, false, 20000, true},
        {"unframed and empty: a cut head", 200, nullptr, false, 0, false},
        {"unframed and empty 201", 201, nullptr, false, 0, false},
        {"unframed and empty 500", 500, nullptr, false, 0, false},
        {"chunked, nothing declared", 200, nullptr, true, 0, true},
        {"chunked wins over a length", 200, "64", true, 7, true},
        {"204 carries no body", 204, nullptr, false, 0, true},
        {"204 with a stray length", 204, "5", false, 0, true},
        {"304 carries no body", 304, "12", false, 0, true},
    };
    for (const Case& c : cases) {
        AnswerHead head;
        head.status = c.status;
        head.has_length = c.length != nullptr;
        if (c.length) head.length = c.length;
        head.has_transfer_coding = c.coded;
        EXPECT_EQ(AnswerComplete(head, c.body), c.complete) << c.what;
    }
}

// ---- URL policy ----------------------------------------------------------------------------

CrackedUrl Url(UrlScheme scheme, const wchar_t* host, std::uint16_t port, const wchar_t* path) {
    CrackedUrl u;
    u.scheme = scheme;
    u.host = host;
    u.port = port;
    u.path = path;
    return u;
}

std::string PolicyText(const CrackedUrl& url, bool allowLocalHttp) {
    try {
        ApplyUrlPolicy(url, allowLocalHttp);
        return "ok";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

TEST(UrlPolicy, SchemesHostsAndLocalHttp) {
    struct Case {
        CrackedUrl url;
        bool local;
        const char* result;
    } cases[] = {
        {Url(UrlScheme::Https, L"api.example", 443, L"/HM/MEDIA-PLUGIN/api"), false, "ok"},
        {Url(UrlScheme::Https, L"127.0.0.1", 8443, L"/"), true, "ok"},
        {Url(UrlScheme::Http, L"127.0.0.1", 8080, L"/x"), true, "ok"},
        {Url(UrlScheme::Http, L"127.0.0.1", 80, L"/x"), false, "HTTPS required"},
        {Url(UrlScheme::Http, L"localhost", 80, L"/x"), true, "HTTPS required"},
        {Url(UrlScheme::Http, L"127.0.0.2", 80, L"/x"), true, "HTTPS required"},
        {Url(UrlScheme::Http, L"[::1]", 80, L"/x"), true, "HTTPS required"},
        {Url(UrlScheme::Http, L"::1", 80, L"/x"), true, "HTTPS required"},
        {Url(UrlScheme::Http, L"api.example", 80, L"/x"), true, "HTTPS required"},
        {Url(UrlScheme::Other, L"127.0.0.1", 21, L"/x"), true, "HTTPS required"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PolicyText(c.url, c.local), c.result) << std::string(c.url.host.begin(), c.url.host.end());
    }
}

TEST(UrlPolicy, CredentialsAndExtraInformationAreForbiddenBeforeTheSchemeCheck) {
    for (int which = 0; which < 3; ++which) {
        CrackedUrl u = Url(UrlScheme::Http, L"api.example", 80, L"/x");  // would also fail HTTPS
        (which == 0 ? u.user : which == 1 ? u.password : u.extra) = which == 2 ? L"?a=1" : L"x";
        EXPECT_EQ(PolicyText(u, false), "URL credentials/query forbidden");
    }
    CrackedUrl fragment = Url(UrlScheme::Https, L"api.example", 443, L"/x");
    fragment.extra = L"#top";
    EXPECT_EQ(PolicyText(fragment, false), "URL credentials/query forbidden");
    // Wine's WinHttpCrackUrl leaves "#top" in the path when there is no query.
    EXPECT_EQ(PolicyText(Url(UrlScheme::Https, L"api.example", 443, L"/x#top"), false), "URL credentials/query forbidden");
    EXPECT_EQ(PolicyText(Url(UrlScheme::Https, L"api.example", 443, L"/#"), false), "URL credentials/query forbidden");
}

TEST(UrlPolicy, KeepsHostPortSchemeAndStripsTrailingSlashes) {
    struct Case {
        const wchar_t* path;
        const wchar_t* base;
    } cases[] = {
        {L"/HM/MEDIA-PLUGIN/api", L"/HM/MEDIA-PLUGIN/api"},
        {L"/HM/MEDIA-PLUGIN/api/", L"/HM/MEDIA-PLUGIN/api"},
        {L"/HM/MEDIA-PLUGIN/api///", L"/HM/MEDIA-PLUGIN/api"},
        {L"/", L""},
        {L"//", L""},
        {L"", L""},
        {L"/a//b/", L"/a//b"},
    };
    for (const Case& c : cases) {
        const ApiClient client = ApplyUrlPolicy(Url(UrlScheme::Https, L"api.example", 8443, c.path), false);
        EXPECT_EQ(client.base_path, c.base);
        EXPECT_EQ(client.host, L"api.example");
        EXPECT_EQ(client.port, 8443);
        EXPECT_TRUE(client.secure);
    }
    const ApiClient local = ApplyUrlPolicy(Url(UrlScheme::Http, L"127.0.0.1", 5000, L"/t/"), true);
    EXPECT_FALSE(local.secure);
    EXPECT_EQ(local.port, 5000);
    EXPECT_EQ(local.base_path, L"/t");
}

// ---- Header block --------------------------------------------------------------------------

HeaderInputs Inputs(bool secure, bool consent, const char* path, const char* name) {
    HeaderInputs in;
    in.secure = secure;
    in.consent_given = consent;
    in.path = path;
    in.hardware_id = std::string(64, 'a');
    in.identity.name = name;
    in.identity.port = 7777;
    return in;
}

TEST(HeaderBlock, IdentityAndHardwareLinesFollowConsentNameSchemeAndPath) {
    const std::string base = "Content-Type: image/jpeg\r\nX-HMPlugin-Build: 17305\r\n";
    const std::string hw = "X-HMPlugin-Hardware: " + std::string(64, 'a') + "\r\n";
    const std::string ident = "X-HMPlugin-Player: Karel_Novak\r\nX-HMPlugin-Port: 7777\r\nX-HMPlugin-Consent: 1\r\n";
    struct Case {
        HeaderInputs in;
        std::string block;
    } cases[] = {
        // Before consent: nothing about the player or the machine, whatever the path.
        {Inputs(true, false, "/presence", "Karel_Novak"), base},
        {Inputs(true, false, "/state", "Karel_Novak"), base},
        // After consent with a name: the identity on every path, hardware only on /presence.
        {Inputs(true, true, "/state", "Karel_Novak"), base + ident},
        {Inputs(true, true, "/presence", "Karel_Novak"), base + hw + ident},
        {Inputs(false, true, "/presence", "Karel_Novak"), base + ident},  // plain HTTP: no hardware
        {Inputs(true, true, "/presence/", "Karel_Novak"), base + ident},  // exactly /presence
        {Inputs(true, true, "/Presence", "Karel_Novak"), base + ident},
        // After consent without a name: only the hardware line can appear.
        {Inputs(true, true, "/presence", ""), base + hw},
        {Inputs(true, true, "/state", ""), base},
        {Inputs(false, true, "/presence", ""), base},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildHeaderBlock(c.in), c.block) << c.in.path << " consent=" << c.in.consent_given;
    }
    HeaderInputs noId = Inputs(true, true, "/presence", "");
    noId.hardware_id.clear();
    EXPECT_EQ(BuildHeaderBlock(noId), base);
}

TEST(HeaderBlock, ContentTypeBearerAndShotInTheirPlaces) {
    HeaderInputs in = Inputs(true, true, "/voice/exchange", "Karel_Novak");
    in.bearer = "0123abcd";
    in.shot = 42;
    in.identity.port = 65535;
    EXPECT_EQ(BuildHeaderBlock(in),
              "Content-Type: application/octet-stream\r\n"
              "X-HMPlugin-Build: 17305\r\n"
              "X-HMPlugin-Player: Karel_Novak\r\n"
              "X-HMPlugin-Port: 65535\r\n"
              "X-HMPlugin-Consent: 1\r\n"
              "Authorization: Bearer 0123abcd\r\n"
              "X-HMMedia-Shot: 42\r\n");
    struct Case {
        const char* path;
        const char* type;
    } types[] = {
        {"/voice/exchange", "application/octet-stream"},
        {"/voice/exchange/poll", "application/octet-stream"},
        {"/voice/exchangeX", "application/octet-stream"},
        {"/voice/exchang", "image/jpeg"},
        {"/voice", "image/jpeg"},
        {"/upload", "image/jpeg"},
        {"", "image/jpeg"},
    };
    for (const Case& t : types) {
        HeaderInputs x = Inputs(false, false, t.path, "");
        EXPECT_EQ(BuildHeaderBlock(x).substr(0, 14 + std::strlen(t.type)), std::string("Content-Type: ") + t.type)
            << t.path;
    }
    HeaderInputs big = Inputs(false, false, "/upload", "");
    big.shot = 4294967295u;
    EXPECT_NE(BuildHeaderBlock(big).find("X-HMMedia-Shot: 4294967295\r\n"), std::string::npos);
    EXPECT_EQ(WidenHeaderBlock("A: b\r\n"), L"A: b\r\n");
}

// ---- SMBIOS walk ---------------------------------------------------------------------------

// A raw SMBIOS table: 8-byte header, then structures.
struct Table {
    std::vector<std::uint8_t> bytes{0, 3, 4, 0, 0, 0, 0, 0};
    Table& Structure(std::uint8_t type, std::vector<std::uint8_t> formattedAfterHeader, std::vector<std::string> strings) {
        bytes.push_back(type);
        bytes.push_back(std::uint8_t(4 + formattedAfterHeader.size()));
        bytes.push_back(0x34);
        bytes.push_back(0x12);
        bytes.insert(bytes.end(), formattedAfterHeader.begin(), formattedAfterHeader.end());
        for (const auto& s : strings) {
            bytes.insert(bytes.end(), s.begin(), s.end());
            bytes.push_back(0);
        }
        if (strings.empty()) bytes.push_back(0);
        bytes.push_back(0);
        return *this;
    }
    // Type 1 with the UUID at offset 8; `length` is the formatted length.
    Table& System(std::vector<std::uint8_t> uuid, std::uint8_t length = 27) {
        std::vector<std::uint8_t> f(length - 4, 0);
        f[0] = 1;  // manufacturer string
        for (std::size_t i = 0; i < uuid.size() && 4 + i < f.size(); ++i) f[4 + i] = uuid[i];
        return Structure(1, f, {"Maker"});
    }
    std::optional<SystemUuid> Walk() const { return FindSystemUuid(bytes.data(), bytes.size()); }
};

std::vector<std::uint8_t> Uuid(std::uint8_t first) {
    std::vector<std::uint8_t> u(16);
    for (int i = 0; i < 16; ++i) u[i] = std::uint8_t(first + i);
    return u;
}

TEST(SmbiosWalk, FindsTheFirstUsableSystemUuidAsStored) {
    Table t;
    t.Structure(0, std::vector<std::uint8_t>(20, 1), {"BIOS vendor", "1.0"}).System(Uuid(0x10)).System(Uuid(0x50));
    const auto uuid = t.Walk();
    ASSERT_TRUE(uuid.has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(uuid->begin(), uuid->end()), Uuid(0x10));
    // A structure without strings ends in two zero bytes directly.
    Table bare;
    bare.Structure(4, std::vector<std::uint8_t>(10, 7), {}).System(Uuid(0x20));
    ASSERT_TRUE(bare.Walk().has_value());
    EXPECT_EQ((*bare.Walk())[0], 0x20);
    // A type-1 structure shorter than 24 is skipped; the next one decides.
    Table shortFirst;
    shortFirst.System(Uuid(0x30), 23).System(Uuid(0x60), 24);
    ASSERT_TRUE(shortFirst.Walk().has_value());
    EXPECT_EQ((*shortFirst.Walk())[0], 0x60);
}

TEST(SmbiosWalk, UnusableOrDamagedTablesGiveNothing) {
    struct Case {
        const char* name;
        Table table;
    };
    std::vector<Case> cases;
    cases.push_back({"uuid all zero", Table().System(std::vector<std::uint8_t>(16, 0x00))});
    cases.push_back({"uuid all FF", Table().System(std::vector<std::uint8_t>(16, 0xFF))});
    cases.push_back({"no type 1", Table().Structure(0, {1, 2, 3}, {"x"}).Structure(127, {}, {})});
    cases.push_back({"only short type 1", Table().System(Uuid(1), 23)});
    cases.push_back({"header only", Table()});
    {
        Table t;
        t.System(Uuid(1));
        t.bytes[9] = 3;  // formatted length below 4
        cases.push_back({"length 3", t});
    }
    {
        Table t;
        t.Structure(0, {}, {}).System(Uuid(1));
        t.bytes[9] = 3;  // a short structure ends the walk even when a good one follows
        cases.push_back({"length 3 before type 1", t});
    }
    {
        Table t;
        t.Structure(0, std::vector<std::uint8_t>(4, 1), {"abc"}).System(Uuid(1));
        t.bytes[9] = 250;  // runs past the end
        cases.push_back({"structure past end", t});
    }
    {
        Table t;
        t.Structure(0, std::vector<std::uint8_t>(4, 1), {"abc"});
        t.bytes.resize(t.bytes.size() - 2);  // strings never end
        cases.push_back({"truncated strings", t});
    }
    {
        Table t;
        t.Structure(0, std::vector<std::uint8_t>(4, 1), {"abc"}).System(Uuid(1));
        t.bytes.resize(8 + 8 + 4 + 4 + 10);  // type 1 cut inside its formatted area
        cases.push_back({"type 1 cut", t});
    }
    {
        Table t;
        t.System(Uuid(1));
        t.bytes.insert(t.bytes.begin() + 8, {0, 4, 0});  // 3 bytes: not even a header
        t.bytes.resize(11);
        cases.push_back({"partial header", t});
    }
    for (const Case& c : cases) EXPECT_FALSE(c.table.Walk().has_value()) << c.name;
    EXPECT_FALSE(FindSystemUuid(nullptr, 0).has_value());
    const std::uint8_t tiny[7] = {};
    EXPECT_FALSE(FindSystemUuid(tiny, sizeof tiny).has_value());
}

TEST(SmbiosWalk, TypeOneKeepsItsUuidEvenWhenItsOwnStringsAreCut) {
    Table t;
    t.System(Uuid(0x40));
    t.bytes.resize(t.bytes.size() - 3);
    ASSERT_TRUE(t.Walk().has_value());
}

TEST(SmbiosWalk, NeverReadsOutsideTheTable) {
    // Every prefix and random damage of a real-looking table; the address sanitizer of the fuzz
    // build sees out-of-range reads, here each prefix is copied into an exact-size buffer.
    Table t;
    t.Structure(0, std::vector<std::uint8_t>(20, 1), {"BIOS", "1.0"}).Structure(3, {}, {}).System(Uuid(0x10));
    std::mt19937 rng(7);
    for (std::size_t n = 0; n <= t.bytes.size(); ++n) {
        std::vector<std::uint8_t> prefix(t.bytes.begin(), t.bytes.begin() + long(n));
        for (int round = 0; round < 20; ++round) {
            std::vector<std::uint8_t> copy = prefix;
            if (round > 0 && !copy.empty()) copy[rng() % copy.size()] = std::uint8_t(rng());
            EXPECT_EQ(FuzzSmbiosWalk(copy.data(), copy.size()), 0);
        }
    }
}

TEST(HardwareIdMessage, DomainThenUuidBytes) {
    const std::string domain = HardwareIdDomain();
    ASSERT_EQ(domain.size(), 27u);
    EXPECT_EQ(domain.substr(0, 26), "Hollowmarsh-RP hardware v1");
    EXPECT_EQ(domain[26], '\0');
    SystemUuid uuid{};
    for (int i = 0; i < 16; ++i) uuid[i] = std::uint8_t(0xF0 + i);
    const std::string m = HardwareIdMessage(uuid);
    ASSERT_EQ(m.size(), 43u);
    EXPECT_EQ(m.substr(0, 27), domain);
    EXPECT_EQ(std::uint8_t(m[27]), 0xF0);
    EXPECT_EQ(std::uint8_t(m[42]), 0xFF);
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(LowerHex(bytes, 4), "000fa5ff");
}

// ---- Remembered device format --------------------------------------------------------------

TEST(DeviceCredential, SixtyFourLowercaseHex) {
    const std::string good(64, 'a');
    EXPECT_TRUE(IsDeviceCredential(good));
    EXPECT_TRUE(IsDeviceCredential("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(IsDeviceCredential(std::string(63, 'a')));
    EXPECT_FALSE(IsDeviceCredential(std::string(65, 'a')));
    EXPECT_FALSE(IsDeviceCredential(""));
    std::string upper = good;
    upper[10] = 'A';
    EXPECT_FALSE(IsDeviceCredential(upper));
    for (char bad : {'g', ' ', '\0', '\n', '-', 'F'}) {
        std::string s = good;
        s[63] = bad;
        EXPECT_FALSE(IsDeviceCredential(s)) << int(bad);
    }
}

TEST(DeviceFile, SizeLimitsAndEntropyBytes) {
    EXPECT_FALSE(IsDeviceBlobSize(0));
    EXPECT_TRUE(IsDeviceBlobSize(1));
    EXPECT_TRUE(IsDeviceBlobSize(8192));
    EXPECT_FALSE(IsDeviceBlobSize(8193));
    EXPECT_EQ(DeviceEntropy(L"ab"), std::string("a\0b\0", 4));
    EXPECT_EQ(DeviceEntropy(L"\u010D"), std::string("\x0D\x01", 2));
    EXPECT_EQ(DeviceEntropy(L""), "");
}

}  // namespace
}  // namespace hm
