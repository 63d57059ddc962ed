#pragma once

// The sound of one phrase: Open JTalk's WAVE output read into samples, its
// silence before and after the speech trimmed.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ojt {

struct Pcm
{
    int rate = 0;  // samples per second, mono, signed 16 bit
    std::vector<int16_t> samples;
};

// A RIFF WAVE of 16-bit mono PCM; nothing for anything else (a truncated
// file, another format, a data chunk that claims more than there is).
std::optional<Pcm> parseWave(std::string_view bytes);

// Cuts the silence before the first and after the last sample louder than
// `threshold` (of full scale), keeping `keepMs` on each side so that the
// speech does not start or end with a click.
void trimSilence(Pcm& pcm, double threshold = 0.01, int keepMs = 10);

}  // namespace ojt
