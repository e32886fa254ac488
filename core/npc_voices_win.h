// NPC voices' output: a voice player on its own waveOut device for one clip. Player thread.
#pragma once

#include <memory>

#include "npc/player.h"

namespace hm {

std::unique_ptr<NpcOutput> NewNpcVoiceOutput();

}  // namespace hm
