#include "OpenJTalkSynthesizer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ojt {

namespace {

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

OpenJTalkSynthesizer::OpenJTalkSynthesizer(Options options)
    : m_options(std::move(options))
    , m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    // A process that ends before reading its phrase must not end the module.
    std::signal(SIGPIPE, SIG_IGN);
}

OpenJTalkSynthesizer::~OpenJTalkSynthesizer()
{
    std::lock_guard lock(m_mutex);
    for (Process& process : m_ready) {
        finish(process, true);
    }
    closeFd(m_wake);
}

OpenJTalkSynthesizer::Process OpenJTalkSynthesizer::spawn(const VoiceSettings& voice, std::string* error)
{
    Process process;
    process.voice = voice;
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return process;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        ::close(in[0]);
        ::close(in[1]);
        return process;
    }
    // The frame period stays 5 ms whatever the rate.
    const std::vector<std::string> args = {m_options.command,
                                           "-x",
                                           m_options.dictionary,
                                           "-m",
                                           voice.voiceFile,
                                           "-r",
                                           number(voice.speed),
                                           "-fm",
                                           number(voice.halfTones),
                                           "-s",
                                           std::to_string(m_options.samplingRate),
                                           "-p",
                                           std::to_string(m_options.samplingRate / 200),
                                           "-ow",
                                           "/dev/stdout"};
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int failed = ::posix_spawnp(&process.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (failed != 0) {
        *error = m_options.command + ": " + std::strerror(failed);
        ::close(in[1]);
        ::close(out[0]);
        process.pid = -1;
        return process;
    }
    process.input = in[1];
    process.output = out[0];
    return process;
}

void OpenJTalkSynthesizer::finish(Process& process, bool kill)
{
    closeFd(process.input);
    closeFd(process.output);
    if (process.pid > 0) {
        if (kill) {
            ::kill(process.pid, SIGKILL);
        }
        while (::waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        process.pid = -1;
    }
}

void OpenJTalkSynthesizer::fill(const VoiceSettings& voice)
{
    std::deque<Process> stale;
    {
        std::lock_guard lock(m_mutex);
        while (!m_ready.empty() && !(m_ready.front().voice == voice)) {
            stale.push_back(m_ready.front());
            m_ready.pop_front();
        }
    }
    for (Process& process : stale) {
        finish(process, true);
    }
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (static_cast<int>(m_ready.size()) >= m_options.ready) {
                return;
            }
        }
        std::string error;
        Process process = spawn(voice, &error);
        if (process.pid < 0) {
            return;
        }
        std::lock_guard lock(m_mutex);
        m_ready.push_back(process);
    }
}

void OpenJTalkSynthesizer::prepare(const VoiceSettings& voice)
{
    fill(voice);
}

void OpenJTalkSynthesizer::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
}

Synthesis OpenJTalkSynthesizer::synthesize(const std::string& text,
                                           const VoiceSettings& voice,
                                           const std::atomic<uint64_t>& current,
                                           uint64_t generation)
{
    Synthesis result;
    Process process;
    {
        std::lock_guard lock(m_mutex);
        if (!m_ready.empty() && m_ready.front().voice == voice) {
            process = m_ready.front();
            m_ready.pop_front();
        }
    }
    if (process.pid < 0) {
        process = spawn(voice, &result.error);
        if (process.pid < 0) {
            return result;
        }
    }
    const std::string line = text + "\n";
    const bool sent = ::write(process.input, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    closeFd(process.input);
    // The next phrase's process starts while this one synthesizes.
    fill(voice);
    if (!sent) {
        result.error = "open_jtalk did not take the text";
        finish(process, true);
        return result;
    }

    std::string wave;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.timeoutMs);
    char buffer[65536];
    for (;;) {
        if (current.load() != generation) {
            result.cancelled = true;
            finish(process, true);
            return result;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.error = "open_jtalk took too long";
            finish(process, true);
            return result;
        }
        pollfd fds[2] = {{process.output, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            result.error = std::string("poll: ") + std::strerror(errno);
            finish(process, true);
            return result;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wake, &count, sizeof count);
            continue;  // the generation is looked at again above
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = ::read(process.output, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            if (wave.size() + static_cast<std::size_t>(got) > m_options.maxOutput) {
                result.error = "open_jtalk gave more sound than a phrase can have";
                finish(process, true);
                return result;
            }
            wave.append(buffer, static_cast<std::size_t>(got));
        }
    }
    finish(process, false);
    result.pcm = parseWave(wave);
    if (!result.pcm) {
        result.error = "open_jtalk gave no sound for: " + text;
    }
    return result;
}

}  // namespace ojt
