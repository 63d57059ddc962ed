#pragma once

// One round of the program's own writes, as the kill test's writer process
// repeats them: a thread log, the bookmark list, a board's read positions, a
// setting and the stored cookies. The test runs the same rounds itself to learn every content each
// file may have between two writes.

#include <QDateTime>
#include <QDir>
#include <QNetworkCookie>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextFile.h"
#include "bbs/BookmarkList.h"
#include "bbs/CookieStore.h"
#include "bbs/ReadPositions.h"

namespace WriteRound {

inline QString logPath(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/雑談/なんでも雑談/1714600000.log");
}

inline QString bookmarkPath(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/bookmark.list");
}

inline QString indexPath(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/雑談/なんでも雑談/thread.idx");
}

inline QString cookiePath(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/cookie.list");
}

inline QString settingsPath(const QString& configDir)
{
    return configDir + QStringLiteral("/yomimaru.ini");
}

// A log big enough that writing it takes a while; three versions of it.
inline QStringList logLines(int round)
{
    QStringList lines;
    const int count = 3000 + (round % 3) * 1000;
    lines.reserve(count);
    for (int i = 1; i <= count; ++i) {
        lines.append(QStringLiteral("名無しさん,sage,2024/05/01(水) 12:00:%1,本文その%2 ラウンド%3 😀,ID%4,")
                         .arg(i % 60)
                         .arg(i)
                         .arg(round % 3)
                         .arg(i));
    }
    return lines;
}

// Runs one round; false when a write failed.
inline bool run(const QString& dataRoot, const QString& configDir, int round)
{
    QDir().mkpath(dataRoot + QStringLiteral("/雑談/なんでも雑談"));
    bool ok = TextFile::writeLines(logPath(dataRoot), logLines(round));

    BookmarkList bookmarks(dataRoot);
    ok = bookmarks.InitInstance() && ok;
    const QString category = QStringLiteral("雑談");
    const QString board = QStringLiteral("なんでも雑談");
    const QString key = QStringLiteral("1714600099");
    if (bookmarks.Exist(category, board, key)) {
        ok = bookmarks.Remove(bookmarks.Get_Num()) && ok;
    } else {
        ok = bookmarks.Add(category, board, QStringLiteral("追加されるスレ"), key) && ok;
    }

    ReadPositions positions;
    positions.load(indexPath(dataRoot));
    positions.setPosition(QStringLiteral("1714600000"), round % 50);
    ok = positions.save(indexPath(dataRoot)) && ok;

    CookieStore cookies(cookiePath(dataRoot));
    ok = cookies.load() && ok;
    QNetworkCookie ticket("MonaTicket", QByteArray::number(round % 5).repeated(25));
    ticket.setDomain(QStringLiteral(".5ch.io"));
    ticket.setPath(QStringLiteral("/"));
    ticket.setExpirationDate(QDateTime(QDate(2099, 1, 1), QTime(0, 0), QTimeZone::utc()));
    cookies.setCookiesFromUrl({ticket}, QUrl(QStringLiteral("https://kizuna.5ch.io/test/bbs.cgi")));
    ok = !cookies.saveFailed() && ok;

    SettingsStore store(configDir);
    CSettings settings(store);
    settings.InitInstance();
    ok = settings.Set_(CSettings::SpeechSpeed, QString::number(round % 10)) && ok;
    return ok;
}

}  // namespace WriteRound
