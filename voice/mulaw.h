// G.711 mu-law, the wire encoding of voice samples, and the playback scaling. Any thread.
#pragma once

#include <cstdint>

namespace hm {

std::uint8_t EncodeMuLaw(std::int16_t sample);  // bias 0x84, magnitude clipped at 32635
std::int16_t DecodeMuLaw(std::uint8_t byte);    // up to +-32124

// s * v * g / 25500, truncated toward zero: volume 100 with gain 255 leaves s unchanged.
inline std::int16_t ScaleSample(int s, int volume, int gain) {
    return static_cast<std::int16_t>(s * volume * gain / 25500);
}

}  // namespace hm
