#include "HttpRequestParser.h"

#include <QList>

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (char c : text) {
        if (!isTokenChar(c)) {
            return false;
        }
    }
    return true;
}

// Visible ASCII only: no blank, no control byte, nothing above 0x7E.
bool isVisibleAscii(QByteArrayView text)
{
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) {
            return false;
        }
    }
    return true;
}

bool isDigits(QByteArrayView text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// A host name or IPv4 address, optionally followed by ":port".
bool isAuthority(QByteArrayView authority, QByteArray* host)
{
    const qsizetype colon = authority.indexOf(':');
    const QByteArrayView name = colon < 0 ? authority : authority.first(colon);
    if (colon >= 0) {
        const QByteArrayView port = authority.sliced(colon + 1);
        if (!isDigits(port) || port.size() > 5) {
            return false;
        }
    }
    if (name.isEmpty() || name.size() > 253) {
        return false;
    }
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                        || c == '.';
        if (!ok) {
            return false;
        }
    }
    *host = name.toByteArray().toLower();
    return true;
}

}  // namespace

HttpRequestParser::State HttpRequestParser::fail(int status, QByteArrayView detail)
{
    m_state = State::Failed;
    m_failureStatus = status;
    m_failureDetail = detail.toByteArray();
    m_buffer.clear();
    return m_state;
}

HttpRequestParser::State HttpRequestParser::feed(QByteArrayView bytes)
{
    if (m_state != State::NeedMore) {
        return m_state;
    }
    m_buffer.append(bytes);
    if (!m_headDone) {
        qsizetype end = m_buffer.indexOf("\r\n\r\n");
        qsizetype separator = 4;
        const qsizetype bareEnd = m_buffer.indexOf("\n\n");
        if (bareEnd >= 0 && (end < 0 || bareEnd < end)) {
            end = bareEnd;
            separator = 2;
        }
        if (end < 0) {
            const qsizetype firstLine = m_buffer.indexOf('\n');
            if (firstLine < 0 && m_buffer.size() > kMaxRequestLine) {
                return fail(400, "request line too long");
            }
            if (m_buffer.size() > kMaxHeaderBlock) {
                return fail(431, "header block too large");
            }
            return m_state;
        }
        if (end > kMaxHeaderBlock) {
            return fail(431, "header block too large");
        }
        const QByteArray head = m_buffer.left(end);
        m_buffer.remove(0, end + separator);
        if (parseHead(head) == State::Failed) {
            return m_state;
        }
        m_headDone = true;
    }
    if (m_buffer.size() >= m_bodyLength) {
        m_request.body = m_buffer.left(m_bodyLength);
        m_buffer.clear();
        m_state = State::Complete;
    }
    return m_state;
}

HttpRequestParser::State HttpRequestParser::parseHead(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    qsizetype from = 0;
    while (from <= head.size()) {
        qsizetype lf = head.indexOf('\n', from);
        if (lf < 0) {
            lf = head.size();
        }
        QByteArrayView line = head.sliced(from, lf - from);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        lines.append(line);
        from = lf + 1;
    }

    const QByteArrayView requestLine = lines.value(0);
    if (requestLine.size() > kMaxRequestLine) {
        return fail(400, "request line too long");
    }
    const QList<QByteArray> parts = requestLine.toByteArray().split(' ');
    if (parts.size() != 3) {
        return fail(400, "malformed request line");
    }
    const QByteArray& method = parts[0];
    const QByteArray& target = parts[1];
    const QByteArray& version = parts[2];
    if (!isToken(method) || method.size() > 16) {
        return fail(400, "malformed method");
    }
    if (!version.startsWith("HTTP/") || version.size() != 8 || version[6] != '.'
        || !isDigits(QByteArrayView(version).sliced(5, 1))
        || !isDigits(QByteArrayView(version).sliced(7, 1))) {
        return fail(400, "malformed version");
    }
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        return fail(505, "only HTTP/1.0 and HTTP/1.1 are served");
    }
    if (target.isEmpty() || !isVisibleAscii(target)) {
        return fail(400, "malformed target");
    }
    m_request.method = method;
    m_request.target = target;
    m_request.version = version;

    if (lines.size() - 1 > kMaxHeaderCount) {
        return fail(431, "too many header fields");
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.first(colon))) {
            return fail(400, "malformed header field");
        }
        const QByteArray value = line.sliced(colon + 1).trimmed().toByteArray();
        for (char c : value) {
            const auto b = static_cast<unsigned char>(c);
            if ((b < 0x20 && b != '\t') || b == 0x7F) {
                return fail(400, "control character in a header field");
            }
        }
        m_request.headers.append({line.first(colon).toByteArray().toLower(), value});
    }

    if (method != "GET" && method != "HEAD" && method != "POST" && method != "CONNECT") {
        return fail(405, "only GET, HEAD and POST are served");
    }
    if (!m_request.header("transfer-encoding").isEmpty()) {
        return fail(501, "transfer codings are not supported");
    }
    bool lengthSeen = false;
    for (const auto& [name, value] : m_request.headers) {
        if (name != "content-length") {
            continue;
        }
        if (!isDigits(value) || value.size() > 12) {
            return fail(400, "malformed Content-Length");
        }
        const qint64 length = value.toLongLong();
        if (lengthSeen && length != m_bodyLength) {
            return fail(400, "conflicting Content-Length");
        }
        lengthSeen = true;
        m_bodyLength = length;
    }
    if (m_bodyLength > kMaxBody) {
        return fail(413, "request body too large");
    }
    m_expectContinue = m_request.header("expect").toLower() == "100-continue";
    return parseTarget();
}

HttpRequestParser::State HttpRequestParser::parseTarget()
{
    QByteArray rest = m_request.target;
    if (m_request.method == "CONNECT") {
        // A tunnel asked of a proxy names host and port; the server decides
        // whether it opens one.
        if (!isAuthority(rest, &m_request.host)) {
            return fail(400, "malformed CONNECT target");
        }
        m_request.path = "/";
        return m_state;
    }
    if (rest.startsWith('/')) {
        if (!isAuthority(m_request.header("host"), &m_request.host)) {
            m_request.host.clear();
        }
    } else if (rest.left(7).toLower() == "http://") {
        rest.remove(0, 7);
        qsizetype end = rest.size();
        for (char stop : {'/', '?'}) {
            const qsizetype at = rest.indexOf(stop);
            if (at >= 0 && at < end) {
                end = at;
            }
        }
        if (!isAuthority(QByteArrayView(rest).first(end), &m_request.host)) {
            return fail(400, "malformed host in the target");
        }
        rest.remove(0, end);
        if (!rest.startsWith('/')) {
            rest.prepend('/');
        }
        m_request.proxyStyle = true;
    } else {
        return fail(400, "the target is neither a path nor an http URL");
    }
    const qsizetype fragment = rest.indexOf('#');
    if (fragment >= 0) {
        rest.truncate(fragment);
    }
    const qsizetype question = rest.indexOf('?');
    m_request.path = question < 0 ? rest : rest.left(question);
    m_request.query = question < 0 ? QByteArray() : rest.mid(question + 1);
    return m_state;
}
