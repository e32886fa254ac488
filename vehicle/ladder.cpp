#include "vehicle/ladder.h"

#include <cmath>
#include <cstring>

#include "vehicle/game_facts.h"

namespace hm {

const std::array<LadderKey, 6> kLadderKeys = {{{0x67, "/hmladderkey 7"},
                                               {0x69, "/hmladderkey 9"},
                                               {0x68, "/hmladderkey 8"},
                                               {0x62, "/hmladderkey 2"},
                                               {0x64, "/hmladderkey 4"},
                                               {0x66, "/hmladderkey 6"}}};

namespace {

struct Row {
    float x, y, z;
};
struct Rows {
    Row right, forward, up, position;
};

bool ReadRow(const MemoryReader& m, GameAddress a, Row& r) {
    float f[3];
    if (!GuardedRead(m, a, f, sizeof f)) return false;
    r = {f[0], f[1], f[2]};
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z);
}

bool ReadEntityRows(const MemoryReader& m, GameAddress entity, Rows& rows) {
    std::uint32_t matrix = 0;
    return GuardedRead32(m, entity + gta::kEntityMatrix, matrix) && ReadRow(m, matrix, rows.right) &&
           ReadRow(m, matrix + 16, rows.forward) && ReadRow(m, matrix + 32, rows.up) &&
           ReadRow(m, matrix + 48, rows.position);
}

bool ReadPosition(const MemoryReader& m, GameAddress entity, Row& position) {
    std::uint32_t matrix = 0;
    return GuardedRead32(m, entity + gta::kEntityMatrix, matrix) && ReadRow(m, matrix + 48, position);
}

float Dot(const Row& a, const Row& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Row Minus(const Row& a, const Row& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

bool IsLadderObjectModel(int model) { return model == 19425 || model == 19843 || model == 19844; }

}  // namespace

int EntityModel(const MemoryReader& memory, GameAddress entity) {
    std::uint16_t model = 0;
    if (entity == 0 || !GuardedRead(memory, entity + gta::kEntityModel, &model, 2)) return -1;
    return model;
}

bool StoreLadderAnchor(LadderState& state, const MemoryReader& memory, GameAddress vehicle, Tick now) {
    Rows r;
    if (!ReadEntityRows(memory, vehicle, r)) return false;
    LadderAnchor* slot = nullptr;
    for (LadderAnchor& a : state.anchors)
        if (a.vehicle == vehicle) slot = &a;
    if (!slot) {
        // An empty slot has tick 0 and so counts as the oldest.
        slot = &state.anchors[0];
        for (LadderAnchor& a : state.anchors) {
            if (a.vehicle == 0) {
                slot = &a;
                break;
            }
            if (a.tick < slot->tick) slot = &a;
        }
    }
    slot->vehicle = vehicle;
    slot->x = r.position.x + 0.65f * r.forward.x + 1.17f * r.up.x;
    slot->y = r.position.y + 0.65f * r.forward.y + 1.17f * r.up.y;
    slot->z = r.position.z + 0.65f * r.forward.z + 1.17f * r.up.z;
    slot->tick = now;
    return true;
}

const char* RunLadderKeys(LadderState& state, const MemoryReader& memory, GameAddress vehicle, Tick now,
                          const LadderKeyInputs& in) {
    if (!in.game_in_front || in.computer_ui || in.photo_visible || now < state.next_send) return nullptr;
    const LadderKey* held = nullptr;
    for (const LadderKey& k : kLadderKeys) {
        if (in.key_held(k.virtual_key)) {
            held = &k;
            break;
        }
    }
    if (!held) return nullptr;
    std::uint32_t player = 0, driver = 0;
    if (!GuardedRead32(memory, gta::kPlayerPed, player) || player == 0) return nullptr;
    if (!GuardedRead32(memory, vehicle + gta::kVehicleDriver, driver) || driver != player) return nullptr;
    if (!in.chat_free()) return nullptr;
    if (!in.send(held->command)) return nullptr;  // the limit stays: the next frame tries again
    state.next_send = now + kLadderKeyIntervalMs;
    return held->command;
}

std::optional<GameAddress> LadderFrame(const MemoryReader& memory, GameAddress vehicle) {
    std::uint32_t chain[3] = {};
    for (int i = 0; i < 3; ++i)
        if (!GuardedRead32(memory, vehicle + gta::kVehicleLadderFrames + 4 * i, chain[i]) || chain[i] == 0)
            return std::nullopt;
    // Three distinct frames, each the parent of the one before: no cycle, no wrong link.
    if (chain[0] == chain[1] || chain[1] == chain[2] || chain[0] == chain[2]) return std::nullopt;
    for (int i = 0; i < 2; ++i) {
        std::uint32_t parent = 0;
        if (!GuardedRead32(memory, chain[i] + gta::kFrameParent, parent) || parent != chain[i + 1]) return std::nullopt;
    }
    return chain[0];
}

bool DrawWithoutBuiltInLadder(const MemoryReader& memory, GameAddress vehicle, const LadderDrawSeams& seams) {
    const std::optional<GameAddress> frame = LadderFrame(memory, vehicle);
    std::uint8_t saved[64];
    bool flattened = false;
    if (frame) {
        bool readable = true;
        for (int i = 0; i < 4 && readable; ++i)
            readable = GuardedRead(memory, *frame + gta::kFrameMatrix + 16 * i, saved + 16 * i, 16);
        static const std::uint8_t kZeroRow[16] = {};
        flattened = readable && seams.write(*frame + gta::kFrameMatrix, kZeroRow, sizeof kZeroRow);
        if (flattened) seams.refresh_frame(*frame);
    }
    seams.call_through();
    if (flattened) {
        seams.write(*frame + gta::kFrameMatrix, saved, 16);
        seams.refresh_frame(*frame);
    }
    return flattened;
}

bool IsFilteredLadderPair(const MemoryReader& memory, GameAddress truck, GameAddress other) {
    if (EntityModel(memory, truck) != gta::kLadderTruckModel) return false;
    if (!IsLadderObjectModel(EntityModel(memory, other))) return false;
    Rows t;
    Row o;
    if (!ReadEntityRows(memory, truck, t) || !ReadPosition(memory, other, o)) return false;
    const Row d = Minus(o, t.position);
    const float up = Dot(d, t.up);
    return up > 0.5f && up < 4.0f && std::fabs(Dot(d, t.right)) < 2.6f && std::fabs(Dot(d, t.forward)) < 6.5f;
}

bool IsFilteredCollisionCall(const MemoryReader& memory, CollisionRoutine routine, GameAddress self,
                             GameAddress first_argument) {
    return routine == CollisionRoutine::TruckIsArgument ? IsFilteredLadderPair(memory, first_argument, self)
                                                        : IsFilteredLadderPair(memory, self, first_argument);
}

bool IsLadderPiece(const LadderState& state, const MemoryReader& memory, GameAddress entity, Tick now) {
    if (EntityModel(memory, entity) != gta::kLadderPieceModel) return false;
    std::uint32_t attached = 0;
    if (GuardedRead32(memory, entity + gta::kEntityAttachedTo, attached) && attached != 0 &&
        EntityModel(memory, attached) == gta::kLadderTruckModel)
        return true;
    bool recent = false;
    for (const LadderAnchor& a : state.anchors) recent = recent || (a.vehicle != 0 && now - a.tick <= kLadderAnchorLifetimeMs);
    if (!recent) return false;
    Rows e;
    if (!ReadEntityRows(memory, entity, e)) return false;
    const float up_length2 = Dot(e.up, e.up);
    if (!(up_length2 > 1e-12f)) return false;
    const float inv = 1.0f / std::sqrt(up_length2);
    const Row axis{e.up.x * inv, e.up.y * inv, e.up.z * inv};
    for (const LadderAnchor& a : state.anchors) {
        if (a.vehicle == 0 || a.tick > now || now - a.tick > kLadderAnchorLifetimeMs) continue;
        const Row d = Minus(Row{a.x, a.y, a.z}, e.position);
        const float along = Dot(d, axis);
        const float off2 = Dot(d, d) - along * along;
        if (along >= 0.55f && along <= 10.05f && off2 <= 0.4225f) return true;
    }
    return false;
}

}  // namespace hm
