// Writes small WAV files, tagged as song files are: a RIFF WAVE image around 16-bit PCM, with
// an optional LIST/INFO chunk naming the song (INAM title, IART artist, IPRD album).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbwriter {

struct SWaveTags {
    std::string title;  // UTF-8; an empty text is left out
    std::string artist;
    std::string album;
};

// A mono 16-bit PCM WAV of samples (little-endian, as they go into the data chunk) at
// sampleRate; with pTags, its INFO chunk follows the data.
std::vector<std::uint8_t> WriteWave(const std::vector<std::uint8_t>& samples,
                                    std::uint32_t sampleRate, const SWaveTags* pTags = nullptr);

}  // namespace dbwriter
