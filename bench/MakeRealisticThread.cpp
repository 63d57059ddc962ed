// Writes the realistic 1000-message thread of the benchmarks as a .dat file,
// for measuring the whole program against the local board server.
//
//   make-realistic-thread FILE [MESSAGES]

#include <cstdio>

#include <QByteArray>
#include <QFile>

#include "RealisticThread.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make-realistic-thread FILE [MESSAGES]\n");
        return 2;
    }
    const int messages = argc == 3 ? QByteArray(argv[2]).toInt() : 1000;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (messages < 1 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const QByteArray bytes = RealisticThread::datBytes(messages);
    return file.write(bytes) == bytes.size() && file.flush() ? 0 : 1;
}
