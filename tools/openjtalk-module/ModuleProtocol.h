#pragma once

// speech-dispatcher's output-module protocol, as the server speaks it over
// the module's standard input and output: INIT, then AUDIO and LOGLEVEL, then
// SET, SPEAK (CHAR, KEY, SOUND_ICON), STOP, PAUSE, LIST VOICES, QUIT. Replies
// are numbered lines, "NNN-..." for all but the last; the events of speech
// (7NN) come between them, never inside a reply.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ModuleConfig.h"
#include "Speaker.h"
#include "Synthesizer.h"

namespace ojt {

class ModuleProtocol
{
public:
    ModuleProtocol(ModuleConfig config, int input, int output);
    ~ModuleProtocol();

    // Serves until QUIT (0) or the end of the input (2); 1 when INIT fails.
    int run();

private:
    struct LineReader;

    void send(const std::string& text);
    void log(const std::string& text);
    bool readBlock(std::string* text, std::size_t limit);  // lines up to ".", unescaped
    bool readParameters(std::map<std::string, std::string>* values);
    bool init();
    void set();
    void audio();
    void speak(const std::string& kind);
    void listVoices();
    VoiceSettings voiceSettings() const;
    double gain() const;

    ModuleConfig m_config;
    int m_output;
    std::unique_ptr<LineReader> m_reader;
    std::mutex m_outputMutex;
    std::vector<Voice> m_voices;
    std::unique_ptr<Synthesizer> m_synthesizer;
    std::unique_ptr<Speaker> m_speaker;

    int m_rate = 0;
    int m_pitch = 0;
    int m_volume = 100;
    std::string m_voiceType = "MALE1";
    std::string m_synthesisVoice;
};

}  // namespace ojt
