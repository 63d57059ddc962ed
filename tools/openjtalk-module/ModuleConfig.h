#pragma once

// The module's configuration file, in speech-dispatcher's own style: one
// setting a line, `Name "value"`, comments after '#'. Every setting has a
// default that fits Debian's packages, so the file may be missing.

#include <string>
#include <vector>

namespace ojt {

struct Voice
{
    std::string name;  // the file name without .htsvoice
    std::string file;
    std::string variant;  // the first voice is MALE1, as Debian's one voice is male
};

struct ModuleConfig
{
    std::string command = "open_jtalk";
    std::string dictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
    std::vector<std::string> voiceDirectories;  // empty: /usr/share/hts-voice
    int readyProcesses = 2;
    int samplingRate = 24000;
    std::string audioOutput;  // empty: as the server says; "trace:FILE" for measurements

    // Reads `path`; false (and the defaults kept) when it cannot be read.
    bool read(const std::string& path, std::string* error);
    // The .htsvoice files under the voice folders (two levels deep), by name.
    std::vector<Voice> findVoices() const;
};

}  // namespace ojt
