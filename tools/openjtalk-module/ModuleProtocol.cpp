#include "ModuleProtocol.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "OpenJTalkSynthesizer.h"
#include "Phrases.h"

namespace ojt {

namespace {

constexpr std::size_t kMaxLine = 1u << 20;     // bytes of one line from the server
constexpr std::size_t kMaxMessage = 1u << 20;  // of one message to speak

bool executable(const std::string& command)
{
    if (command.find('/') != std::string::npos) {
        return ::access(command.c_str(), X_OK) == 0;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', begin), folders.size());
        const std::string folder = folders.substr(begin, end - begin);
        if (!folder.empty() && ::access((folder + "/" + command).c_str(), X_OK) == 0) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

int number(const std::string& value, int low, int high, int fallback)
{
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    return end == value.c_str() || n < low || n > high ? fallback : static_cast<int>(n);
}

}  // namespace

// Lines of the server's input, each with its "\n"; a line longer than the
// bound is cut there and the rest of it dropped.
struct ModuleProtocol::LineReader
{
    explicit LineReader(int fd)
        : fd(fd)
    {}

    bool next(std::string* line)
    {
        line->clear();
        bool dropping = false;
        for (;;) {
            const std::size_t newline = buffer.find('\n', start);
            if (newline != std::string::npos) {
                if (!dropping) {
                    line->append(buffer, start, newline + 1 - start);
                }
                start = newline + 1;
                return true;
            }
            if (!dropping) {
                line->append(buffer, start, std::string::npos);
                if (line->size() > kMaxLine) {
                    line->resize(kMaxLine);
                    dropping = true;
                }
            }
            buffer.clear();
            start = 0;
            char chunk[65536];
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            buffer.assign(chunk, static_cast<std::size_t>(got));
        }
    }

    int fd;
    std::string buffer;
    std::size_t start = 0;
};

ModuleProtocol::ModuleProtocol(ModuleConfig config, int input, int output)
    : m_config(std::move(config))
    , m_output(output)
    , m_reader(std::make_unique<LineReader>(input))
{}

ModuleProtocol::~ModuleProtocol()
{
    m_speaker.reset();
    m_synthesizer.reset();
}

void ModuleProtocol::send(const std::string& text)
{
    std::lock_guard lock(m_outputMutex);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_output, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the server is gone; the input's end ends the module
        }
        done += static_cast<std::size_t>(n);
    }
}

void ModuleProtocol::log(const std::string& text)
{
    std::fprintf(stderr, "yomimaru-openjtalk: %s\n", text.c_str());
}

bool ModuleProtocol::readBlock(std::string* text, std::size_t limit)
{
    text->clear();
    std::string line;
    bool firstLine = true;
    while (m_reader->next(&line)) {
        if (line == ".\n") {
            return true;
        }
        std::string_view content(line);
        if (!content.empty() && content.back() == '\n') {
            content.remove_suffix(1);
        }
        if (!content.empty() && content.front() == '.') {
            content.remove_prefix(1);  // ".." stands for a line that begins with "."
        }
        if (text->size() < limit) {
            if (!firstLine) {
                *text += '\n';
            }
            text->append(content.substr(0, limit - text->size()));
        }
        firstLine = false;
    }
    return false;
}

bool ModuleProtocol::readParameters(std::map<std::string, std::string>* values)
{
    std::string block;
    if (!readBlock(&block, kMaxLine)) {
        return false;
    }
    std::size_t begin = 0;
    while (begin < block.size()) {
        const std::size_t end = std::min(block.find('\n', begin), block.size());
        const std::string line = block.substr(begin, end - begin);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            (*values)[line.substr(0, equals)] = line.substr(equals + 1);
        }
        begin = end + 1;
    }
    return true;
}

bool ModuleProtocol::init()
{
    std::string problem;
    m_voices = m_config.findVoices();
    if (!executable(m_config.command)) {
        problem = m_config.command + " is not installed (package open-jtalk)";
    } else if (!std::filesystem::is_directory(m_config.dictionary)) {
        problem = "no dictionary in " + m_config.dictionary + " (package open-jtalk-mecab-naist-jdic)";
    } else if (m_voices.empty()) {
        problem = "no .htsvoice voice found (package hts-voice-nitech-jp-atr503-m001, Debian contrib)";
    }
    if (!problem.empty()) {
        send("399-yomimaru-openjtalk: " + problem + "\n399 ERR CANT INIT MODULE\n");
        return false;
    }
    OpenJTalkSynthesizer::Options options;
    options.command = m_config.command;
    options.dictionary = m_config.dictionary;
    options.ready = m_config.readyProcesses;
    options.samplingRate = m_config.samplingRate;
    m_synthesizer = std::make_unique<OpenJTalkSynthesizer>(options);
    m_speaker = std::make_unique<Speaker>(
        *m_synthesizer, [this](const std::string& event) { send(event); },
        [this](const std::string& text) { log(text); });
    send("299-yomimaru-openjtalk: Open JTalk with " + std::to_string(m_voices.size())
         + " voice(s)\n"
           "299 OK LOADED SUCCESSFULLY\n");
    m_synthesizer->prepare(voiceSettings());
    return true;
}

VoiceSettings ModuleProtocol::voiceSettings() const
{
    VoiceSettings settings;
    const Voice* chosen = &m_voices.front();
    for (const Voice& voice : m_voices) {
        if (!m_synthesisVoice.empty() ? voice.name == m_synthesisVoice : voice.variant == m_voiceType) {
            chosen = &voice;
            break;
        }
    }
    settings.voiceFile = chosen->file;
    // speech-dispatcher's -100..100: half to one and a half times the speed,
    // six half-tones down or up.
    settings.speed = 1.0 + m_rate * 0.005;
    settings.halfTones = m_pitch * 0.06;
    return settings;
}

double ModuleProtocol::gain() const
{
    // 100 is the voice's own level, 0 six decibels below it, -100 twelve.
    return std::pow(10.0, (m_volume - 100) * 0.06 / 20.0);
}

void ModuleProtocol::set()
{
    // speech-dispatcher 0.11's own modules answer SET with 203 here (AUDIO
    // and LOGLEVEL with 207).
    send("203 OK RECEIVING SETTINGS\n");
    std::map<std::string, std::string> values;
    if (!readParameters(&values)) {
        return;
    }
    for (const auto& [name, value] : values) {
        if (name == "rate") {
            m_rate = number(value, -100, 100, m_rate);
        } else if (name == "pitch") {
            m_pitch = number(value, -100, 100, m_pitch);
        } else if (name == "volume") {
            m_volume = number(value, -100, 100, m_volume);
        } else if (name == "voice") {
            m_voiceType = value;  // the server writes "male1"
            for (char& c : m_voiceType) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        } else if (name == "synthesis_voice") {
            m_synthesisVoice = value == "NULL" ? std::string() : value;
        }
        // language, punctuation, spelling and capitals: Open JTalk reads
        // Japanese and has no such modes.
    }
    if (m_speaker && m_speaker->idle()) {
        m_synthesizer->prepare(voiceSettings());
    }
    send("203 OK SETTINGS RECEIVED\n");
}

void ModuleProtocol::audio()
{
    send("207 OK RECEIVING AUDIO SETTINGS\n");
    std::map<std::string, std::string> values;
    if (!readParameters(&values)) {
        return;
    }
    if (values["audio_output_method"] == "server") {
        // The server offers to play the sound itself; the module plays its
        // own, with a smaller buffer, so it declines and is then given the
        // device.
        send("300-yomimaru-openjtalk plays through the sound server itself\n300 MODULE ERROR\n");
        return;
    }
    std::string spec = m_config.audioOutput;
    if (spec.empty()) {
        const std::string device = values["audio_pulse_device"];
        spec = device.empty() || device == "default" ? "pulse" : "pulse:" + device;
    }
    std::unique_ptr<AudioSink> sink = createAudioSink(spec, "yomimaru-openjtalk", m_config.samplingRate);
    const std::string error = sink->error();
    if (!error.empty()) {
        send("300-yomimaru-openjtalk: " + error + "\n300 MODULE ERROR\n");
        return;
    }
    if (m_speaker) {
        m_speaker->setAudio(std::move(sink));
    }
    send("203 OK AUDIO INITIALIZED\n");
}

void ModuleProtocol::speak(const std::string& kind)
{
    send("202 OK RECEIVING MESSAGE\n");
    std::string text;
    if (!readBlock(&text, kMaxMessage)) {
        return;
    }
    std::vector<Phrase> phrases;
    if (kind == "SPEAK") {
        phrases = splitIntoPhrases(text);
    } else if (kind == "CHAR" || kind == "KEY") {
        std::string said = text == "space" ? "スペース" : text;
        for (char& c : said) {
            if (c == '_') {
                c = ' ';
            }
        }
        Phrase phrase;
        phrase.text = said;
        phrases.push_back(phrase);
    }
    // A sound icon has no sound here: it begins and ends at once.
    const bool accepted = m_speaker && m_speaker->speak(std::move(phrases), voiceSettings(), gain(), [this] {
        send("200 OK SPEAKING\n");
    });
    if (!accepted) {
        send("301 ERROR CANT SPEAK\n");
    }
}

void ModuleProtocol::listVoices()
{
    std::string reply;
    for (const Voice& voice : m_voices) {
        reply += "200-" + voice.name + "\tja\t" + (voice.variant.empty() ? "none" : voice.variant) + "\n";
    }
    send(reply.empty() ? std::string("304 CANT LIST VOICES\n") : reply + "200 OK VOICE LIST SENT\n");
}

int ModuleProtocol::run()
{
    std::string line;
    if (!m_reader->next(&line)) {
        return 2;
    }
    if (line != "INIT\n") {
        send("300 ERR UNKNOWN COMMAND\n");
        return 3;
    }
    if (!init()) {
        return 1;
    }
    while (m_reader->next(&line)) {
        if (line == "SPEAK\n" || line == "CHAR\n" || line == "KEY\n" || line == "SOUND_ICON\n") {
            speak(line.substr(0, line.size() - 1));
        } else if (line == "STOP\n") {
            m_speaker->stop();
        } else if (line == "PAUSE\n") {
            m_speaker->pause();
        } else if (line == "SET\n") {
            set();
        } else if (line == "AUDIO\n") {
            audio();
        } else if (line == "LOGLEVEL\n") {
            send("207 OK RECEIVING LOGLEVEL SETTINGS\n");
            std::map<std::string, std::string> values;
            if (readParameters(&values)) {
                send("203 OK LOGLEVEL SET\n");
            }
        } else if (line.rfind("DEBUG ", 0) == 0) {
            send(line.rfind("DEBUG ON", 0) == 0 ? "200 OK DEBUGGING ON\n" : "200 OK DEBUGGING OFF\n");
        } else if (line == "LIST VOICES\n") {
            listVoices();
        } else if (line == "QUIT\n") {
            m_speaker.reset();
            send("210 OK QUIT\n");
            return 0;
        } else {
            send("300 ERR UNKNOWN COMMAND\n");
        }
    }
    return 2;
}

}  // namespace ojt
