#include "TextFile.h"

#include <unistd.h>

#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>

#include "base/TextCodec.h"

Q_LOGGING_CATEGORY(lcFiles, "yomimaru.files", QtWarningMsg)

namespace {

QByteArray encodeLines(const QStringList& lines)
{
    // Room for two bytes a character up front: the lines are encoded in place.
    qsizetype room = 0;
    for (const QString& line : lines) {
        room += line.size() * 2 + 2;
    }
    QByteArray bytes;
    bytes.reserve(room);
    for (const QString& line : lines) {
        TextCodec::appendFileBytes(bytes, line);
        bytes += "\r\n";
    }
    return bytes;
}

bool writeWhole(const QString& path, const QByteArray& bytes, bool ownerOnly = false)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        return false;
    }
    // Set on the new copy before a byte of it is written, so that at no
    // moment can anyone else read it.
    if (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        return false;
    }
    return true;
}

}  // namespace

using namespace Qt::StringLiterals;

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

std::optional<QByteArray> readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    if (file.size() > kMaxReadSize) {
        return std::nullopt;
    }
    // As much as the file holds, not the bound: read(n) sets aside n bytes
    // first, and a sanitizer build then marks all of them on every read.
    QByteArray bytes = file.read(qMin(file.size(), kMaxReadSize));
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
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
    return writeWhole(path, encodeLines(lines));
}

bool writePrivateBytes(const QString& path, const QByteArray& bytes)
{
    return writeWhole(path, bytes, true);
}

bool writeText(const QString& path, const QString& text)
{
    return writeWhole(path, TextCodec::toFileBytes(text));
}

bool appendLines(const QString& path, const QStringList& lines)
{
    return appendBytes(path, encodeLines(lines));
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    return writeWhole(path, bytes);
}

bool appendBytes(const QString& path, const QByteArray& encoded)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        return false;
    }
    const qint64 oldSize = file.size();
    QByteArray bytes = encoded;
    // A last line without its line end (cut short, or edited by hand) would
    // run into the first appended one: end it first.
    if (oldSize > 0) {
        QFile existing(path);
        const QByteArray last = existing.open(QIODevice::ReadOnly) && existing.seek(oldSize - 1)
                                    ? existing.read(1)
                                    : QByteArray();
        if (last == "\r") {
            bytes.prepend('\n');
        } else if (last != "\n") {
            bytes.prepend("\r\n");
        }
    }
    // On the disk before the caller goes on: what it records next (how much
    // of a thread the log holds) must never claim lines a crash could still
    // take away.
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fdatasync(file.handle()) != 0) {
        qCWarning(lcFiles) << "not written:" << path << file.errorString();
        file.resize(oldSize);
        return false;
    }
    return true;
}

int removeStaleTemporaries(const QString& folder)
{
    // A save writes "<name>.XXXXXX" beside the file and renames it over the
    // file; a save cut short leaves the temporary behind. Only the names this
    // program writes are matched: anything else in the folder is the user's.
    static const QRegularExpression temporary(u"^(board\\.list|bookmark\\.list|bookmark_ita\\.list|html\\."
                                              u"txt|thread\\.list|thread\\.idx|cookie\\.list|[^.]+\\.log|"
                                              u"[^.]+\\.datinfo)\\.[A-Za-z0-9]{6}$"_s);
    int removed = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (temporary.match(it.fileName()).hasMatch() && QFile::remove(path)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace TextFile
