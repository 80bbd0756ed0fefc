// The WAV writer: chunks are padded to even lengths, as RIFF readers expect.
#include "tools/WaveWriter.h"

namespace dbwriter {

namespace {

void PutLe(std::vector<std::uint8_t>& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutId(std::vector<std::uint8_t>& bytes, const char (&id)[5]) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(id[i]));
    }
}

void PutChunk(std::vector<std::uint8_t>& bytes, const char (&id)[5],
              const std::vector<std::uint8_t>& body) {
    PutId(bytes, id);
    PutLe(bytes, static_cast<std::uint32_t>(body.size()), 4);
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        bytes.push_back(0);
    }
}

std::vector<std::uint8_t> InfoList(const SWaveTags& tags) {
    std::vector<std::uint8_t> list;
    PutId(list, "INFO");
    const auto text = [&list](const char(&id)[5], const std::string& value) {
        if (!value.empty()) {
            std::vector<std::uint8_t> body(value.begin(), value.end());
            body.push_back(0);
            PutChunk(list, id, body);
        }
    };
    text("INAM", tags.title);
    text("IART", tags.artist);
    text("IPRD", tags.album);
    return list;
}

}  // namespace

std::vector<std::uint8_t> WriteWave(const std::vector<std::uint8_t>& samples,
                                    std::uint32_t sampleRate, const SWaveTags* pTags) {
    std::vector<std::uint8_t> body;
    PutId(body, "WAVE");
    std::vector<std::uint8_t> format;
    PutLe(format, 1, 2);  // PCM
    PutLe(format, 1, 2);  // mono
    PutLe(format, sampleRate, 4);
    PutLe(format, sampleRate * 2, 4);  // bytes per second
    PutLe(format, 2, 2);               // block align
    PutLe(format, 16, 2);              // bits per sample
    PutChunk(body, "fmt ", format);
    PutChunk(body, "data", samples);
    if (pTags != nullptr) {
        PutChunk(body, "LIST", InfoList(*pTags));
    }
    std::vector<std::uint8_t> wave;
    PutChunk(wave, "RIFF", body);
    return wave;
}

}  // namespace dbwriter
