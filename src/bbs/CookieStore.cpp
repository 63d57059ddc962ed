#include "CookieStore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkCookie>

#include "base/TextFile.h"

Q_LOGGING_CATEGORY(lcCookies, "yomimaru.cookies", QtWarningMsg)

namespace {

bool expired(const QNetworkCookie& cookie, const QDateTime& now)
{
    return !cookie.isSessionCookie() && cookie.expirationDate() <= now;
}

}  // namespace

CookieStore::CookieStore(const QString& path, QObject* parent)
    : QNetworkCookieJar(parent)
    , m_path(path)
{}

bool CookieStore::load()
{
    const std::optional<QByteArray> bytes = TextFile::readBytes(m_path);
    if (!bytes) {
        return !QFileInfo::exists(m_path);
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> kept;
    for (const QByteArray& line : bytes->split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.isEmpty() || text.size() > kMaxCookieBytes || kept.size() >= kMaxCookies) {
            continue;
        }
        // Written as "Set-Cookie" values with their domain, so a cookie of one
        // host stays that host's.
        for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(text)) {
            if (!cookie.domain().isEmpty() && !expired(cookie, now)) {
                kept.append(cookie);
            }
        }
    }
    setAllCookies(kept);
    m_saved = *bytes;
    return true;
}

bool CookieStore::setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url)
{
    QList<QNetworkCookie> fit;
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name().size() + cookie.value().size() <= kMaxCookieBytes) {
            fit.append(cookie);
        }
    }
    if (allCookies().size() + fit.size() > kMaxCookies) {
        qCWarning(lcCookies) << "cookies of" << url.host() << "refused: the store is full";
        return false;
    }
    const bool set = QNetworkCookieJar::setCookiesFromUrl(fit, url);
    // Saved once, after the whole change: the jar replaces a cookie by taking
    // the old one out first, and a file written in between would lack it.
    // A server's removal (an expiry in the past) is a change too.
    save();
    return set;
}

void CookieStore::save()
{
    if (m_path.isEmpty()) {
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray bytes;
    for (const QNetworkCookie& cookie : allCookies()) {
        if (!expired(cookie, now)) {
            bytes += cookie.toRawForm(QNetworkCookie::Full) + "\r\n";
        }
    }
    if (bytes == m_saved) {
        return;
    }
    m_saveFailed = !TextFile::writePrivateBytes(m_path, bytes);
    if (m_saveFailed) {
        qCWarning(lcCookies) << "cookies not saved:" << m_path;
        return;
    }
    m_saved = bytes;
}
