// A stand-in for open_jtalk in the module's tests, where the voice (Debian
// contrib) may be missing: it takes open_jtalk's arguments, reads one line
// and writes a WAVE of 48 kHz with 200 ms of silence, 60 ms of tone for each
// character and 300 ms of silence, as open_jtalk pads its speech. With
// FAKE_OPEN_JTALK_LOG set it appends its arguments and the line to that file;
// a line that FAKE_OPEN_JTALK_SLOW names takes it two seconds.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void le(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string output;
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        arguments += std::string(i > 1 ? " " : "") + argv[i];
        if (std::strcmp(argv[i], "-ow") == 0 && i + 1 < argc) {
            output = argv[i + 1];
        }
    }
    char line[4096] = {};
    if (!std::fgets(line, sizeof line, stdin)) {
        return 0;  // open_jtalk too ends without a sound when its input ends first
    }
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    if (const char* log = std::getenv("FAKE_OPEN_JTALK_LOG")) {
        if (std::FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "%s | %s\n", arguments.c_str(), text.c_str());
            std::fclose(f);
        }
    }
    if (const char* slow = std::getenv("FAKE_OPEN_JTALK_SLOW"); slow && text == slow) {
        ::sleep(2);
    }
    std::size_t characters = 0;
    for (unsigned char c : text) {
        characters += (c & 0xC0) != 0x80;
    }
    const int rate = 48000;
    std::vector<int16_t> samples(rate / 5, 0);
    for (std::size_t i = 0; i < characters * rate * 60 / 1000; ++i) {
        samples.push_back(
            static_cast<int16_t>(8000 * std::sin(2 * M_PI * 220 * static_cast<double>(i) / rate)));
    }
    samples.resize(samples.size() + rate * 3 / 10, 0);

    std::string wave = "RIFF";
    le(wave, static_cast<uint32_t>(36 + samples.size() * 2), 4);
    wave += "WAVEfmt ";
    le(wave, 16, 4);
    le(wave, 1, 2);
    le(wave, 1, 2);
    le(wave, rate, 4);
    le(wave, rate * 2, 4);
    le(wave, 2, 2);
    le(wave, 16, 2);
    wave += "data";
    le(wave, static_cast<uint32_t>(samples.size() * 2), 4);
    for (int16_t s : samples) {
        le(wave, static_cast<uint16_t>(s), 2);
    }
    std::FILE* out = output.empty() ? nullptr : std::fopen(output.c_str(), "wb");
    if (!out) {
        return 1;
    }
    std::fwrite(wave.data(), 1, wave.size(), out);
    std::fclose(out);
    return 0;
}
