// sd_yomimaru-openjtalk: Yomimaru's speech-dispatcher output module for Open
// JTalk. speech-dispatcher starts it with the path of its configuration file
// and talks to it over standard input and output; see README.md here.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "ModuleConfig.h"
#include "ModuleProtocol.h"

int main(int argc, char** argv)
{
    ojt::ModuleConfig config;
    std::string error;
    // The server names the file in its own configuration folder; a module
    // installed for one user has its file in the user's folder instead.
    bool read = argc >= 2 && config.read(argv[1], &error);
    if (!read) {
        const char* configHome = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        const std::string folder = configHome && *configHome ? std::string(configHome)
                                   : home                    ? std::string(home) + "/.config"
                                                             : std::string();
        if (!folder.empty()) {
            read = config.read(folder + "/speech-dispatcher/modules/yomimaru-openjtalk.conf", &error);
        }
    }
    ojt::ModuleProtocol protocol(config, STDIN_FILENO, STDOUT_FILENO);
    return protocol.run();
}
