#include "Wave.h"

#include <cstdlib>
#include <cstring>

namespace ojt {

namespace {

uint32_t le32(std::string_view b, std::size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at]))
           | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8
           | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16
           | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint16_t le16(std::string_view b, std::size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at])
                                 | static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

std::optional<Pcm> parseWave(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    Pcm pcm;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const uint32_t size = le32(bytes, at + 4);
        at += 8;
        if (id == "fmt ") {
            if (size < 16 || at + 16 > bytes.size()) {
                return std::nullopt;
            }
            const uint16_t format = le16(bytes, at);
            const uint16_t channels = le16(bytes, at + 2);
            const uint32_t rate = le32(bytes, at + 4);
            const uint16_t bits = le16(bytes, at + 14);
            if (format != 1 || channels != 1 || bits != 16 || rate < 4000 || rate > 192000) {
                return std::nullopt;
            }
            pcm.rate = static_cast<int>(rate);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat || size > bytes.size() - at || size % 2 != 0) {
                return std::nullopt;
            }
            pcm.samples.resize(size / 2);
            for (std::size_t i = 0; i < pcm.samples.size(); ++i) {
                pcm.samples[i] = static_cast<int16_t>(le16(bytes, at + 2 * i));
            }
            return pcm;
        }
        if (size > bytes.size() - at) {
            return std::nullopt;
        }
        at += size + (size & 1);
    }
    return std::nullopt;
}

void trimSilence(Pcm& pcm, double threshold, int keepMs)
{
    const int limit = static_cast<int>(threshold * 32767);
    auto& s = pcm.samples;
    std::size_t first = 0;
    while (first < s.size() && std::abs(s[first]) <= limit) {
        ++first;
    }
    if (first == s.size()) {
        s.clear();
        return;
    }
    std::size_t last = s.size() - 1;
    while (last > first && std::abs(s[last]) <= limit) {
        --last;
    }
    const std::size_t keep = static_cast<std::size_t>(pcm.rate) * keepMs / 1000;
    const std::size_t begin = first > keep ? first - keep : 0;
    const std::size_t end = std::min(s.size(), last + 1 + keep);
    s = std::vector<int16_t>(s.begin() + static_cast<std::ptrdiff_t>(begin),
                             s.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace ojt
