#include "ServiceDomain.h"

using namespace Qt::StringLiterals;

namespace ServiceDomain {

namespace {

// The host part of "scheme://host[:port]/rest" and what follows it; false
// for anything else.
bool split(const QString& url, QString& host, QStringView& rest)
{
    const qsizetype scheme = url.indexOf(u"://"_s);
    if (scheme <= 0) {
        return false;
    }
    const QStringView name = QStringView(url).left(scheme);
    if (name.compare(u"http"_s, Qt::CaseInsensitive) != 0
        && name.compare(u"https"_s, Qt::CaseInsensitive) != 0) {
        return false;
    }
    const qsizetype start = scheme + 3;
    qsizetype end = url.indexOf(u'/', start);
    if (end < 0) {
        end = url.size();
    }
    host = currentHost(url.mid(start, end - start));
    rest = QStringView(url).mid(end);
    return !host.isEmpty();
}

}  // namespace

QString currentHost(const QString& host)
{
    QString name = host.toLower();
    const qsizetype colon = name.lastIndexOf(u':');
    const QString port = colon >= 0 ? name.mid(colon) : QString();
    if (colon >= 0) {
        name.truncate(colon);
    }
    for (const QString& old : {u".5ch.net"_s, u".2ch.net"_s}) {
        if (name.endsWith(old) && name.size() > old.size()) {
            name = name.chopped(old.size()) + u'.' + QString::fromUtf16(kCurrent);
            break;
        }
    }
    return name + port;
}

bool sameAddress(const QString& a, const QString& b)
{
    if (a == b) {
        return true;
    }
    QString hostA;
    QString hostB;
    QStringView restA;
    QStringView restB;
    return split(a, hostA, restA) && split(b, hostB, restB) && hostA == hostB && restA == restB;
}

}  // namespace ServiceDomain
