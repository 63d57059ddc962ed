#pragma once

// What the fuzz targets share: the input as bytes and as text, a scratch
// folder for parsers that read files, and a check that aborts (so that
// libFuzzer keeps the input) when a property of the parser does not hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace Fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Silences the parsers' warnings, which would otherwise flood the run.
// YOMIMARU_FUZZ_VERBOSE=1 keeps them, to see why an input failed.
inline void quiet()
{
    if (qEnvironmentVariableIsSet("YOMIMARU_FUZZ_VERBOSE")) {
        return;
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// An empty folder for this input, inside one temporary folder for the run.
inline QString scratch()
{
    // In memory when the system offers it: the program's writes end in fsync,
    // which on a disk would cost more than the parsing.
    static const QString base =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir run(base + QStringLiteral("/yomimaru-fuzz-XXXXXX"));
    const QString path = run.filePath(QStringLiteral("input"));
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The code points of a text, for a failure's report.
inline QString codePoints(const QString& text)
{
    QString out;
    for (const char32_t c : text.toUcs4()) {
        out += QString::number(uint(c), 16) + u' ';
    }
    return out;
}

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", file, line, what);
    std::abort();
}

}  // namespace Fuzz

#define FUZZ_CHECK(condition) ((condition) ? void(0) : Fuzz::fail(#condition, __FILE__, __LINE__))
