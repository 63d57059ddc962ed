#include "TextFile.h"

#include <QFile>
#include <QSaveFile>

#include "bbs/TextCodec.h"

namespace {

QByteArray encodeLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += TextCodec::toFileBytes(line);
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QByteArray> readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    if (file.size() > TextFile::kMaxReadSize) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(TextFile::kMaxReadSize);
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

namespace TextFile {

QStringList splitLines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty()) {
        lines.removeLast();
    }
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    return lines;
}

std::optional<QStringList> readLines(const QString& path)
{
    const std::optional<QString> text = readText(path);
    if (!text) {
        return std::nullopt;
    }
    return splitLines(*text);
}

std::optional<QString> readText(const QString& path)
{
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return TextCodec::fromFileBytes(*bytes);
}

bool writeLines(const QString& path, const QStringList& lines)
{
    return writeBytes(path, encodeLines(lines));
}

bool writeText(const QString& path, const QString& text)
{
    return writeBytes(path, TextCodec::toFileBytes(text));
}

bool appendLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const qint64 oldSize = file.size();
    const QByteArray bytes = encodeLines(lines);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.resize(oldSize);
        return false;
    }
    return true;
}

}  // namespace TextFile
