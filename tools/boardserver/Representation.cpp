#include "Representation.h"

#include <zlib.h>

#include <QLocale>

using namespace Qt::Literals::StringLiterals;

namespace Representation {

namespace {

QDateTime parseHttpDate(const QByteArray& text)
{
    QDateTime time =
        QLocale::c().toDateTime(QString::fromLatin1(text.trimmed()), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QByteArray headerValue(const HttpResponse& response, QByteArrayView name)
{
    for (const auto& [key, value] : response.headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

// "bytes=FIRST-" or "bytes=FIRST-LAST"; anything else (several ranges, a
// suffix range, garbage) is ignored and the whole file is sent, as the
// standard allows.
bool parseRange(const QByteArray& header, qint64& first, qint64& last)
{
    if (!header.startsWith("bytes=") || header.contains(',')) {
        return false;
    }
    const QByteArray spec = header.mid(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    if (dash <= 0) {
        return false;
    }
    bool ok = false;
    first = spec.left(dash).toLongLong(&ok);
    if (!ok || first < 0) {
        return false;
    }
    const QByteArray end = spec.mid(dash + 1);
    last = -1;
    if (!end.isEmpty()) {
        last = end.toLongLong(&ok);
        if (!ok || last < first) {
            return false;
        }
    }
    return true;
}

}  // namespace

QByteArray httpDate(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1();
}

QByteArray entityTag(qint64 size, const QDateTime& modified)
{
    return '"' + QByteArray::number(size, 16) + '-' + QByteArray::number(modified.toMSecsSinceEpoch(), 16)
           + '"';
}

QByteArray gzip(const QByteArray& body)
{
    z_stream stream{};
    // 16 + 15 window bits: a gzip header and trailer around the deflate data.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    QByteArray out(qsizetype(deflateBound(&stream, uLong(body.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData()));
    stream.avail_in = uInt(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const qsizetype written = qsizetype(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        return {};
    }
    out.truncate(written);
    return out;
}

void apply(const HttpRequest& request, HttpResponse& response)
{
    if (response.status != 200 || (request.method != "GET" && request.method != "HEAD")) {
        return;
    }
    const QByteArray etag = headerValue(response, "ETag");
    const QByteArray modified = headerValue(response, "Last-Modified");
    const QByteArray ifNoneMatch = request.header("if-none-match");
    const QByteArray ifModifiedSince = request.header("if-modified-since");
    bool current = false;
    if (!ifNoneMatch.isEmpty()) {
        // The tag decides when both are sent.
        current = !etag.isEmpty()
                  && (ifNoneMatch.trimmed() == "*" || ifNoneMatch.split(',').contains(etag)
                      || ifNoneMatch.split(',').contains(' ' + etag));
    } else if (!ifModifiedSince.isEmpty() && !modified.isEmpty()) {
        const QDateTime since = parseHttpDate(ifModifiedSince);
        const QDateTime stored = parseHttpDate(modified);
        current = since.isValid() && stored.isValid() && stored <= since;
    }
    if (current) {
        response.status = 304;
        response.contentType.clear();
        response.body.clear();
        return;
    }

    qint64 first = 0;
    qint64 last = -1;
    if (parseRange(request.header("range"), first, last)) {
        const qint64 size = response.body.size();
        if (first >= size) {
            response.status = 416;
            response.headers.append({"Content-Range", "bytes */" + QByteArray::number(size)});
            response.body.clear();
            return;
        }
        if (last < 0 || last >= size) {
            last = size - 1;
        }
        response.status = 206;
        response.headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-'
                                                      + QByteArray::number(last) + '/'
                                                      + QByteArray::number(size)});
        response.body = response.body.mid(first, last - first + 1);
        // A range is of the stored bytes; it is never compressed.
        return;
    }

    if (request.header("accept-encoding").toLower().contains("gzip")
        && response.contentType.startsWith("text/") && !response.body.isEmpty()) {
        const QByteArray packed = gzip(response.body);
        if (!packed.isEmpty()) {
            response.body = packed;
            response.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
            response.headers.append({QByteArray("Vary"), QByteArray("Accept-Encoding")});
        }
    }
}

}  // namespace Representation
