#include "voice/mulaw.h"

namespace hm {

namespace {
constexpr int kBias = 0x84;
constexpr int kClip = 32635;
}  // namespace

std::uint8_t EncodeMuLaw(std::int16_t sample) {
    // Work in int: negating -32768 in 16 bits would overflow.
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    int magnitude = s < 0 ? -s : s;
    if (magnitude > kClip) magnitude = kClip;
    magnitude += kBias;
    int exponent = 7;
    for (int mask = 0x4000; exponent > 0 && !(magnitude & mask); mask >>= 1) --exponent;
    const int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
    return static_cast<std::uint8_t>(~(sign | (exponent << 4) | mantissa));
}

std::int16_t DecodeMuLaw(std::uint8_t byte) {
    const int u = ~byte & 0xFF;
    const int exponent = (u >> 4) & 0x07;
    const int mantissa = u & 0x0F;
    const int magnitude = (((mantissa << 3) + kBias) << exponent) - kBias;
    return static_cast<std::int16_t>((u & 0x80) ? -magnitude : magnitude);
}

}  // namespace hm
