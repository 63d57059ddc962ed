#include "ModuleConfig.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ojt {

namespace {

std::string trim(const std::string& s)
{
    const std::size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return {};
    }
    const std::size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

}  // namespace

bool ModuleConfig::read(const std::string& path, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 4096) {
            continue;
        }
        std::string text = trim(line);
        if (text.empty() || text[0] == '#') {
            continue;
        }
        const std::size_t space = text.find_first_of(" \t");
        const std::string name = text.substr(0, space);
        std::string value = space == std::string::npos ? std::string() : trim(text.substr(space));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (name == "OpenJTalkCommand") {
            command = value;
        } else if (name == "OpenJTalkDictionary") {
            dictionary = value;
        } else if (name == "OpenJTalkVoiceDirectory") {
            voiceDirectories.push_back(value);
        } else if (name == "OpenJTalkReadyProcesses") {
            readyProcesses = std::clamp(std::atoi(value.c_str()), 0, 8);
        } else if (name == "OpenJTalkSamplingRate") {
            const int rate = std::atoi(value.c_str());
            samplingRate = rate >= 8000 && rate <= 48000 ? rate / 200 * 200 : samplingRate;
        } else if (name == "YomimaruAudioOutput") {
            audioOutput = value;
        }
    }
    return true;
}

std::vector<Voice> ModuleConfig::findVoices() const
{
    namespace fs = std::filesystem;
    std::vector<Voice> voices;
    const std::vector<std::string> folders =
        voiceDirectories.empty() ? std::vector<std::string>{"/usr/share/hts-voice"} : voiceDirectories;
    for (const std::string& folder : folders) {
        std::error_code error;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it.depth() > 1) {
                it.disable_recursion_pending();
            }
            if (it->path().extension() == ".htsvoice" && it->is_regular_file(error)) {
                std::string name = it->path().stem().string();
                // Debian's voice keeps the short name it had before (and that
                // a speech engine says more easily).
                if (name == "nitech_jp_atr503_m001") {
                    name = "nitech-m001";
                }
                voices.push_back({name, it->path().string(), {}});
            }
        }
    }
    std::sort(voices.begin(), voices.end(), [](const Voice& a, const Voice& b) { return a.name < b.name; });
    voices.erase(std::unique(voices.begin(), voices.end(),
                             [](const Voice& a, const Voice& b) { return a.name == b.name; }),
                 voices.end());
    if (!voices.empty()) {
        voices.front().variant = "MALE1";
    }
    return voices;
}

}  // namespace ojt
