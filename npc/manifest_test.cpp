#include "npc/manifest.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace hm {
namespace {

const std::string kHash(64, 'a');
const std::string kEvent = "41 12 255 300 16000 " + kHash;

std::string Failure(const std::string& body) {
    try {
        ParseNpcManifest(body);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(NpcManifest, MinimalAndFull) {
    const NpcManifest minimal = ParseNpcManifest("HMNPC1 5 0");
    EXPECT_EQ(minimal.cursor, 5u);
    EXPECT_TRUE(minimal.events.empty());

    std::string full = "HMNPC1\n18446744073709551615\n8\n";
    for (int i = 0; i < 8; ++i) {
        std::string hash(64, '0');
        hash[63] = "0123456789abcdef"[i];
        full += std::to_string(100 + i) + "\t" + std::to_string(i * 100) + " " + std::to_string(i) + " " +
                std::to_string(i * 200) + " " + std::to_string(160 + i) + " " + hash + "\r\n";
    }
    const NpcManifest m = ParseNpcManifest(full);
    EXPECT_EQ(m.cursor, 18446744073709551615u);
    ASSERT_EQ(m.events.size(), 8u);
    EXPECT_EQ(m.events[7].id, 107u);
    EXPECT_EQ(m.events[7].npc, 700);
    EXPECT_EQ(m.events[7].gain, 7);
    EXPECT_EQ(m.events[7].delay_ms, 1400);
    EXPECT_EQ(m.events[7].bytes, 167u);
    EXPECT_EQ(m.events[7].hash, std::string(63, '0') + "7");

    // Every range at its edges.
    const NpcManifest edges = ParseNpcManifest("HMNPC1 0 2 1 0 0 0 160 " + kHash + " 18446744073709551615 999 255 1500 768000 " +
                                               std::string(64, 'f'));
    EXPECT_EQ(edges.events[0].id, 1u);
    EXPECT_EQ(edges.events[1].id, 18446744073709551615u);
    EXPECT_EQ(edges.events[1].bytes, 768000u);
}

TEST(NpcManifest, BadInputGivesItsText) {
    const std::string head = "HMNPC1 7 1 ";
    std::string exactly_limit = "HMNPC1 5 0";
    exactly_limit.resize(8192, ' ');
    EXPECT_EQ(ParseNpcManifest(exactly_limit).cursor, 5u);
    struct Case {
        std::string body;
        const char* text;
    } cases[] = {
        {exactly_limit + " ", "NPC manifest too large"},
        {std::string(8193, 'x'), "NPC manifest too large"},
        {"", "NPC manifest header"},
        {"hmnpc1 5 0", "NPC manifest header"},
        {"HMNPC1X 5 0", "NPC manifest header"},
        {"HMNPC1", "NPC manifest header"},
        {"HMNPC1 0", "NPC manifest header"},
        {"HMNPC1 -1 0", "NPC manifest header"},
        {"HMNPC1 5x 0", "NPC manifest header"},
        {"HMNPC1 +5 0", "NPC manifest header"},
        {"HMNPC1 18446744073709551616 0", "NPC manifest header"},
        {"HMNPC1 5 9", "NPC manifest header"},
        {"HMNPC1 5 8x", "NPC manifest header"},
        {std::string("HMNPC1\0 5 0", 11), "NPC manifest header"},
        {"HMNPC1 5 1", "NPC manifest event"},
        {head + "0 12 255 300 16000 " + kHash, "NPC manifest event"},
        {head + "41 1000 255 300 16000 " + kHash, "NPC manifest event"},
        {head + "41 12 256 300 16000 " + kHash, "NPC manifest event"},
        {head + "41 12 255 1501 16000 " + kHash, "NPC manifest event"},
        {head + "41 12 255 300 159 " + kHash, "NPC manifest event"},
        {head + "41 12 255 300 768001 " + kHash, "NPC manifest event"},
        {head + "41 12 255 300 16000 " + std::string(63, 'a'), "NPC manifest event"},
        {head + "41 12 255 300 16000 " + std::string(65, 'a'), "NPC manifest event"},
        {head + "41 12 255 300 16000 " + std::string(64, 'A'), "NPC manifest event"},
        {head + "41 12 255 300 16000 " + std::string(63, 'a') + "g", "NPC manifest event"},
        {head + "41 12 255 300 16000", "NPC manifest event"},
        {head + "41 -12 255 300 16000 " + kHash, "NPC manifest event"},
        {head + "18446744073709551616 12 255 300 16000 " + kHash, "NPC manifest event"},
        {head + "41 12 255 300 16000 " + kHash + "\xC3\xA9", "NPC manifest event"},
        {head + kEvent + " 42", "NPC manifest trailing data"},
        {head + kEvent + " \xC3\xA9", "NPC manifest trailing data"},
        {head + kEvent + std::string(" \0", 2), "NPC manifest trailing data"},
        {"HMNPC1 5 0 x", "NPC manifest trailing data"},
    };
    for (const Case& c : cases) EXPECT_EQ(Failure(c.body), c.text) << "body: " << c.body.substr(0, 80);
}

TEST(NpcManifest, GainAnswers) {
    struct Case {
        const char* body;
        int gain;  // -1: refused
    } cases[] = {
        {"200", 200}, {"0", 0}, {"255\n", 255}, {" 17 ", 17}, {"-5", 0}, {"300", 255},
        {"99999999999", 255}, {"99999999999999999999999999", 255}, {"+9", 9},
        {"", -1}, {"abc", -1}, {"12abc", -1}, {"-", -1}, {"\n", -1}, {"1 2", -1},
    };
    for (const auto& c : cases) {
        int got = -1;
        try {
            got = ParseNpcGain(c.body);
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "invalid NPC gain");
        }
        EXPECT_EQ(got, c.gain) << "body \"" << c.body << "\"";
    }
}

}  // namespace
}  // namespace hm
