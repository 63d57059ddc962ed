#pragma once

// Line files as the program keeps them: code page 932 (with numeric character
// references for what it cannot hold), CR LF line ends. Readers also accept
// UTF-8 and bare LF, since users edit some of these files by hand.
// Every rewrite is atomic: a crash leaves either the old file or the new one.

#include <optional>

#include <QString>
#include <QStringList>

namespace TextFile {

// Files larger than this are not read: a list or log of that size is damage.
inline constexpr qint64 kMaxReadSize = 256 * 1024 * 1024;

// The lines of a file, without their line ends; nothing when the file is
// missing, unreadable or too large. A final line end does not start a line.
std::optional<QStringList> readLines(const QString& path);

// The bytes of a file as they are, or nothing (missing, unreadable, too large).
std::optional<QByteArray> readBytes(const QString& path);

// The whole text of a file (line ends kept as they are), or nothing.
std::optional<QString> readText(const QString& path);

// Replaces the file with the lines, each followed by CR LF.
bool writeLines(const QString& path, const QStringList& lines);

// Replaces the file with the text as it is.
bool writeText(const QString& path, const QString& text);

// Adds the lines, each followed by CR LF, at the end of the file (created when
// missing). The lines go out in one write and reach the disk before it
// returns; when the write fails the file is cut back to its old length, so no
// half line remains. The bytes before are never touched: a crash in the
// middle leaves the old lines as they were, then whole new lines and at most
// one cut short, without its line end.
bool appendLines(const QString& path, const QStringList& lines);

// The same two for bytes already encoded as the file holds them (whole
// lines, each with its CR LF), so a caller with many lines need not make a
// string of each first.
bool writeBytes(const QString& path, const QByteArray& bytes);
bool appendBytes(const QString& path, const QByteArray& bytes);

// As writeBytes, for a private file: the new copy is readable and writable
// by its owner only (mode 0600) from the moment it is made.
bool writePrivateBytes(const QString& path, const QByteArray& bytes);

// Removes, in the folder and below it, the temporary files that saves cut
// short (a crash, a kill, a full disk) left beside the files they were
// replacing. Returns how many went.
int removeStaleTemporaries(const QString& folder);

// Splits text into lines at LF, dropping a CR before it; a final line end
// does not start another line.
QStringList splitLines(const QString& text);

}  // namespace TextFile
