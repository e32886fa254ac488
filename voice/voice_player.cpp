#include "voice/voice_player.h"

#include <algorithm>

#include "voice/mulaw.h"

namespace hm {

std::size_t VoicePlayer::Reap() {
    while (!blocks_.empty()) {
        VoiceBlock& oldest = *blocks_.front();
        if (port_->IsDone(oldest)) {
            if (oldest.prepared) port_->Unprepare(oldest);
            oldest.prepared = false;
            blocks_.pop_front();
            continue;
        }
        if (blocks_.size() > kPlayerBlockLimit) Reset();
        break;
    }
    return blocks_.size();
}

void VoicePlayer::Play(const std::uint8_t* bytes, std::size_t count, int gain, int volume_override,
                       int voice_volume, Tick now) {
    Reap();
    if (!open_) {
        if (!port_->Open()) return;
        open_ = true;
    }
    const int v = volume_override < 0 ? voice_volume : std::clamp(volume_override, 0, 100);
    auto block = std::make_unique<VoiceBlock>();
    block->samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) block->samples[i] = ScaleSample(DecodeMuLaw(bytes[i]), v, gain);
    if (!port_->Prepare(*block)) return;
    block->prepared = true;
    if (!port_->Write(*block)) {
        port_->Unprepare(*block);
        block->prepared = false;
        return;
    }
    blocks_.push_back(std::move(block));
    last_write_ = now;
}

void VoicePlayer::Reset() {
    if (!open_) {
        blocks_.clear();
        return;
    }
    port_->Reset();
    for (auto& block : blocks_)
        if (block->prepared) {
            port_->Unprepare(*block);
            block->prepared = false;
        }
    blocks_.clear();
}

void VoicePlayer::Release() {
    Reset();
    if (open_) port_->Close();
    open_ = false;
}

}  // namespace hm
