#pragma once

// The cookies the boards set, kept across runs: the posting confirmation's
// MonaTicket, the donguri acorn and whatever else a board sets. They live in
// one file of the data folder ("cookie.list"), one cookie a line as a server
// would set it, readable by the user only, rewritten atomically whenever
// what is kept changes. Domains, paths and expiry are honoured as a browser
// honours them; a cookie set without an expiry is kept too (the boards set
// their proofs that way, and the user expects them to last), until the
// server replaces or removes it.

#include <QNetworkCookieJar>
#include <QString>

class CookieStore : public QNetworkCookieJar
{
public:
    // Bounds against a server that sets cookies without end.
    static constexpr int kMaxCookies = 300;
    static constexpr int kMaxCookieBytes = 4096;

    explicit CookieStore(const QString& path, QObject* parent = nullptr);

    // Reads the file; cookies past their expiry are left out. False when the
    // file exists and cannot be read.
    bool load();

    QString path() const { return m_path; }

    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) override;

    // True when the last change could not be written.
    bool saveFailed() const { return m_saveFailed; }

private:
    void save();

    QString m_path;
    QByteArray m_saved;
    bool m_saveFailed = false;
};
