#include "npc/player.h"

namespace hm {

const wchar_t* const kNpcOnNotice = L"Hlasy NPC zapnuté. Ctrl+N: vypnout.";
const wchar_t* const kNpcOffNotice = L"Hlasy NPC vypnuté. Ctrl+N: zapnout.";

namespace {

void DropCurrent(NpcPlayerRecord& record, NpcState& state) {
    if (record.output) record.output->Release();
    record.output.reset();
    record.current.reset();
    record.written = false;
    state.playing_id.store(0);
}

}  // namespace

int NpcPlayerPass(NpcPlayerRecord& record, NpcState& state, NpcPlayerSeams& seams) {
    const NpcToggleInputs in = seams.inputs();
    if (record.ctrl_n.Update(in.ctrl && in.n) && in.game_in_front && in.chat_free && !in.ui_open) {
        const bool now_on = !state.enabled.load();
        state.enabled.store(now_on);
        seams.notice(now_on ? kNpcOnNotice : kNpcOffNotice);
    }

    const std::uint32_t generation = seams.generation();
    const bool changed = record.started && generation != record.generation_seen;
    record.started = true;
    record.generation_seen = generation;
    if (changed || !state.enabled.load()) {
        DropCurrent(record, state);
        ClearNpcQueue(state);
        return 40;
    }

    if (!record.current) {
        record.current = TakeDueNpcItem(state, seams.now());
        record.written = false;
    }
    if (!record.current) return 40;

    if (state.gain.load() == 0) {
        DropCurrent(record, state);
        ++record.cut;
        return 10;
    }
    if (!record.written) {
        if (!record.output) record.output = seams.new_output();
        const auto& clip = *record.current->clip;
        record.written = record.output->Play(clip.data(), clip.size(), state.gain.load(), state.volume.load());
        if (!record.written) {
            // Nothing will ever finish: end the item now so that the playing id does not stay set.
            DropCurrent(record, state);
            ++record.dropped;
        }
        return 10;
    }
    if (record.output->Finished()) {
        DropCurrent(record, state);
        ++record.played;
    }
    return 10;
}

void EndNpcPlayer(NpcPlayerRecord& record, NpcState& state) { DropCurrent(record, state); }

}  // namespace hm
