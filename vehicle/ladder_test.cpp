#include "vehicle/ladder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "vehicle/game_facts.h"

namespace hm {
namespace {

constexpr GameAddress kPlayer = 0x100000, kTruck = 0x200000, kTruckMatrix = 0x210000;
constexpr GameAddress kPiece = 0x300000, kPieceMatrix = 0x310000;

struct World {
    FakeAddressSpace mem;
    void Float(GameAddress a, float f) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        mem.Put32(a, u);
    }
    void Row(GameAddress a, float x, float y, float z) { Float(a, x), Float(a + 4, y), Float(a + 8, z), Float(a + 12, 0); }
    // An entity of `model` at (px, py, pz) facing `forward`, up +z.
    void Entity(GameAddress e, GameAddress matrix, std::uint16_t model, float px, float py, float pz, bool facing_x = false) {
        mem.Put32(e + gta::kEntityMatrix, matrix);
        mem.Put(e + gta::kEntityModel, {std::uint8_t(model), std::uint8_t(model >> 8)});
        mem.Put32(e + gta::kEntityAttachedTo, 0);
        if (facing_x) {
            Row(matrix, 0, -1, 0), Row(matrix + 16, 1, 0, 0);
        } else {
            Row(matrix, 1, 0, 0), Row(matrix + 16, 0, 1, 0);
        }
        Row(matrix + 32, 0, 0, 1), Row(matrix + 48, px, py, pz);
    }
    World() {
        mem.Put32(gta::kPlayerPed, kPlayer);
        Entity(kTruck, kTruckMatrix, 544, 100, 200, 10);
        mem.Put32(kTruck + gta::kVehicleDriver, kPlayer);
    }
};

TEST(LadderAnchors, OwnSlotElseTheOldestOne) {
    World w;
    LadderState s;
    ASSERT_TRUE(StoreLadderAnchor(s, w.mem, kTruck, 1000));
    EXPECT_EQ(s.anchors[0].vehicle, kTruck);
    EXPECT_FLOAT_EQ(s.anchors[0].x, 100.0f);
    EXPECT_FLOAT_EQ(s.anchors[0].y, 200.65f);
    EXPECT_FLOAT_EQ(s.anchors[0].z, 11.17f);
    ASSERT_TRUE(StoreLadderAnchor(s, w.mem, kTruck, 1010));
    EXPECT_EQ(s.anchors[1].vehicle, 0u);  // the same truck keeps its slot
    EXPECT_EQ(s.anchors[0].tick, 1010u);

    for (GameAddress i = 1; i < 16; ++i) {
        w.Entity(kTruck + i * 0x1000, kTruckMatrix + i * 0x100, 544, float(i), 0, 0);
        ASSERT_TRUE(StoreLadderAnchor(s, w.mem, kTruck + i * 0x1000, 1000 + i));
    }
    // The 17th truck takes the slot of the truck seen longest ago (the one at tick 1001).
    w.Entity(0x280000, 0x290000, 544, 7, 7, 7);
    ASSERT_TRUE(StoreLadderAnchor(s, w.mem, 0x280000, 2000));
    EXPECT_EQ(s.anchors[1].vehicle, 0x280000u);
    EXPECT_EQ(s.anchors[0].vehicle, kTruck);
    EXPECT_FALSE(StoreLadderAnchor(s, w.mem, 0x700000, 3000));  // unreadable: nothing stored
}

struct Keys {
    std::set<int> held;
    bool chat_free = true;
    bool send_ok = true;
    std::vector<std::string> sent;
    LadderKeyInputs Inputs() {
        LadderKeyInputs in;
        in.game_in_front = true;
        in.chat_free = [this] { return chat_free; };
        in.key_held = [this](int vk) { return held.count(vk) != 0; };
        in.send = [this](const char* text) {
            sent.push_back(text);
            return send_ok;
        };
        return in;
    }
};

TEST(LadderKeysTest, TableOrderAndOneCommandPerInterval) {
    struct Case {
        std::set<int> held;
        const char* sent;
    } cases[] = {{{0x67, 0x66}, "/hmladderkey 7"}, {{0x68}, "/hmladderkey 8"}, {{0x68, 0x69}, "/hmladderkey 9"},
                 {{0x64, 0x62}, "/hmladderkey 2"}, {{0x66}, "/hmladderkey 6"}, {{0x65, 0x43}, nullptr}};
    for (const Case& c : cases) {
        World w;
        LadderState s;
        Keys k;
        k.held = c.held;
        const char* sent = RunLadderKeys(s, w.mem, kTruck, 5000, k.Inputs());
        EXPECT_EQ(sent ? std::string(sent) : "", c.sent ? c.sent : "");
    }

    World w;
    LadderState s;
    Keys k;
    k.held = {0x68};
    EXPECT_TRUE(RunLadderKeys(s, w.mem, kTruck, 5000, k.Inputs()));
    EXPECT_FALSE(RunLadderKeys(s, w.mem, kTruck, 5184, k.Inputs()));
    EXPECT_TRUE(RunLadderKeys(s, w.mem, kTruck, 5185, k.Inputs()));
    // A failed send keeps the limit where it was: the next frame tries again.
    k.send_ok = false;
    EXPECT_FALSE(RunLadderKeys(s, w.mem, kTruck, 5370, k.Inputs()));
    k.send_ok = true;
    EXPECT_TRUE(RunLadderKeys(s, w.mem, kTruck, 5371, k.Inputs()));
    EXPECT_EQ(k.sent.size(), 4u);
}

TEST(LadderKeysTest, NothingIsSentUnlessThePlayerDrivesWithFreeInput) {
    struct Case {
        const char* name;
        void (*change)(World&, Keys&, LadderKeyInputs&);
    } cases[] = {
        {"passenger", [](World& w, Keys&, LadderKeyInputs&) { w.mem.Put32(kTruck + gta::kVehicleDriver, 0x150000); }},
        {"no player", [](World& w, Keys&, LadderKeyInputs&) { w.mem.Put32(gta::kPlayerPed, 0); }},
        {"chat open", [](World&, Keys& k, LadderKeyInputs&) { k.chat_free = false; }},
        {"game behind", [](World&, Keys&, LadderKeyInputs& in) { in.game_in_front = false; }},
        {"computer", [](World&, Keys&, LadderKeyInputs& in) { in.computer_ui = true; }},
        {"photo", [](World&, Keys&, LadderKeyInputs& in) { in.photo_visible = true; }},
    };
    for (const Case& c : cases) {
        World w;
        LadderState s;
        Keys k;
        k.held = {0x68};
        LadderKeyInputs in = k.Inputs();
        c.change(w, k, in);
        EXPECT_FALSE(RunLadderKeys(s, w.mem, kTruck, 5000, in)) << c.name;
        EXPECT_TRUE(k.sent.empty()) << c.name;
    }
}

struct Draw {
    std::vector<std::string> calls;
    bool write_ok = true;
    LadderDrawSeams Seams(World& w) {
        LadderDrawSeams s;
        s.write = [this, &w](GameAddress a, const void* bytes, std::size_t n) {
            const auto* b = static_cast<const std::uint8_t*>(bytes);
            calls.push_back("write " + std::to_string(n));
            if (write_ok) w.mem.Put(a, std::vector<std::uint8_t>(b, b + n));
            return write_ok;
        };
        s.refresh_frame = [this](GameAddress f) { calls.push_back("refresh " + std::to_string(f)); };
        s.call_through = [this, &w] {
            float first = -1;
            w.mem.ReadRaw(0x400000 + gta::kFrameMatrix, &first, 4);
            calls.push_back(first == 0.0f ? "draw flat" : "draw");
        };
        return s;
    }
};

void Chain(World& w, GameAddress a, GameAddress b, GameAddress c) {
    w.mem.Put32(kTruck + gta::kVehicleLadderFrames, a);
    w.mem.Put32(kTruck + gta::kVehicleLadderFrames + 4, b);
    w.mem.Put32(kTruck + gta::kVehicleLadderFrames + 8, c);
}

TEST(BuiltInLadder, FlattenedAroundTheDrawOnlyWhenTheChainLinksBack) {
    World w;
    Chain(w, 0x400000, 0x410000, 0x420000);
    w.mem.Put32(0x400000 + gta::kFrameParent, 0x410000);
    w.mem.Put32(0x410000 + gta::kFrameParent, 0x420000);
    for (int i = 0; i < 4; ++i) w.Row(0x400000 + gta::kFrameMatrix + 16 * i, 1.0f + i, 2, 3);
    Draw d;
    EXPECT_TRUE(DrawWithoutBuiltInLadder(w.mem, kTruck, d.Seams(w)));
    const std::vector<std::string> expected = {"write 16", "refresh 4194304", "draw flat", "write 16", "refresh 4194304"};
    EXPECT_EQ(d.calls, expected);
    float first = 0;
    w.mem.ReadRaw(0x400000 + gta::kFrameMatrix, &first, 4);
    EXPECT_FLOAT_EQ(first, 1.0f);  // the rows are back

    struct Case {
        const char* name;
        void (*change)(World&);
    } cases[] = {
        {"wrong link", [](World& w) { w.mem.Put32(0x410000 + gta::kFrameParent, 0x430000); }},
        {"cycle", [](World& w) { Chain(w, 0x400000, 0x410000, 0x400000); w.mem.Put32(0x410000 + gta::kFrameParent, 0x400000); }},
        {"null", [](World& w) { w.mem.Put32(kTruck + gta::kVehicleLadderFrames + 8, 0); }},
        {"unreadable frame", [](World& w) { w.mem.Remove(0x400000 + gta::kFrameParent, 4); }},
        {"unreadable matrix", [](World& w) { w.mem.Remove(0x400000 + gta::kFrameMatrix + 40, 4); }},
    };
    for (const Case& c : cases) {
        World w2 = w;
        c.change(w2);
        Draw d2;
        EXPECT_FALSE(DrawWithoutBuiltInLadder(w2.mem, kTruck, d2.Seams(w2))) << c.name;
        EXPECT_EQ(d2.calls, std::vector<std::string>{"draw"}) << c.name;
    }
    Draw refused;
    refused.write_ok = false;
    EXPECT_FALSE(DrawWithoutBuiltInLadder(w.mem, kTruck, refused.Seams(w)));
    EXPECT_EQ(refused.calls, (std::vector<std::string>{"write 16", "draw"}));
}

TEST(LadderCollision, PairsInsideTheBoxAreFilteredInBothArgumentOrders) {
    struct Case {
        std::uint16_t truck_model, other_model;
        float right, forward, up;  // the object relative to the truck, in the truck's axes
        bool filtered;
    } cases[] = {
        {544, 19425, 0, 0, 2, true},      {544, 19843, 2.59f, 6.49f, 3.99f, true}, {544, 19844, -2.59f, -6.49f, 0.51f, true},
        {544, 19425, 0, 0, 0.5f, false},  {544, 19425, 0, 0, 4.0f, false},         {544, 19425, 2.6f, 0, 2, false},
        {544, 19425, -2.61f, 0, 2, false}, {544, 19425, 0, 6.5f, 2, false},        {544, 19425, 0, -6.51f, 2, false},
        {545, 19425, 0, 0, 2, false},     {544, 19426, 0, 0, 2, false},            {544, 544, 0, 0, 2, false},
    };
    for (const Case& c : cases) {
        World w;
        // The truck faces +x: forward is world x, right is world -y.
        w.Entity(kTruck, kTruckMatrix, c.truck_model, 100, 200, 10, true);
        w.Entity(kPiece, kPieceMatrix, c.other_model, 100 + c.forward, 200 - c.right, 10 + c.up);
        EXPECT_EQ(IsFilteredCollisionCall(w.mem, CollisionRoutine::TruckIsArgument, kPiece, kTruck), c.filtered)
            << c.right << " " << c.forward << " " << c.up;
        EXPECT_EQ(IsFilteredCollisionCall(w.mem, CollisionRoutine::TruckIsThis, kTruck, kPiece), c.filtered);
        // The other way round is never a ladder pair.
        EXPECT_FALSE(IsFilteredCollisionCall(w.mem, CollisionRoutine::TruckIsThis, kPiece, kTruck));
    }
    World w;
    w.Entity(kPiece, kPieceMatrix, 19425, 100, 200, 12);
    w.mem.Remove(kTruckMatrix + 32, 4);
    EXPECT_FALSE(IsFilteredLadderPair(w.mem, kTruck, kPiece));
}

TEST(LadderPieces, AttachedToATruckOrOnARecentAnchorsAxis) {
    struct Case {
        const char* name;
        std::uint16_t model;
        GameAddress attached_model;  // 0: not attached
        float dx, dz;                // the piece's position relative to the anchor
        Tick age;
        bool piece;
    } cases[] = {
        {"attached", 19425, 544, 50, 0, 9999, true},
        {"attached elsewhere", 19425, 545, 50, 0, 9999, false},
        {"on the axis", 19425, 0, 0, -5, 0, true},
        {"near end", 19425, 0, 0, -0.55f, 250, true},
        {"far end", 19425, 0, 0, -10.05f, 100, true},
        {"too near", 19425, 0, 0, -0.54f, 0, false},
        {"too far", 19425, 0, 0, -10.06f, 0, false},
        {"beside", 19425, 0, 0.64f, -5, 0, true},
        {"off the axis", 19425, 0, 0.66f, -5, 0, false},
        {"stale anchor", 19425, 0, 0, -5, 251, false},
        {"another model", 19843, 544, 0, -5, 0, false},
    };
    for (const Case& c : cases) {
        World w;
        LadderState s;
        ASSERT_TRUE(StoreLadderAnchor(s, w.mem, kTruck, 1000));  // anchor (100, 200.65, 11.17)
        w.Entity(kPiece, kPieceMatrix, c.model, 100 + c.dx, 200.65f, 11.17f + c.dz);
        if (c.attached_model) {
            w.Entity(0x500000, 0x510000, std::uint16_t(c.attached_model), 0, 0, 0);
            w.mem.Put32(kPiece + gta::kEntityAttachedTo, 0x500000);
        }
        EXPECT_EQ(IsLadderPiece(s, w.mem, kPiece, 1000 + c.age), c.piece) << c.name;
    }
    World w;
    LadderState s;
    EXPECT_FALSE(IsLadderPiece(s, w.mem, 0x700000, 1000));  // unreadable
}

}  // namespace
}  // namespace hm
