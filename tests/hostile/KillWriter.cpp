// The kill test's writer: repeats the program's writes until it is killed.
//   kill-writer DATA_ROOT CONFIG_DIR FIRST_ROUND
// Says "ready" on standard output after its first round.

#include <cstdio>

#include <QCoreApplication>

#include "WriteRound.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: kill-writer DATA_ROOT CONFIG_DIR FIRST_ROUND\n");
        return 2;
    }
    for (int round = args.at(3).toInt();; ++round) {
        if (!WriteRound::run(args.at(1), args.at(2), round)) {
            std::fprintf(stderr, "a write failed in round %d\n", round);
            return 1;
        }
        static bool said = false;
        if (!said) {
            std::printf("ready\n");
            std::fflush(stdout);
            said = true;
        }
    }
}
