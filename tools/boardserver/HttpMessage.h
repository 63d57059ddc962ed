#pragma once

// One HTTP exchange as the board server sees it: the request it parsed and the
// response it is about to send. Header names of requests are kept lower-cased.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HttpRequest
{
    QByteArray method;   // GET, HEAD or POST
    QByteArray target;   // the request target exactly as sent
    QByteArray host;     // host of an absolute target, else of the Host header; no port
    QByteArray path;     // starts with "/", still percent-encoded
    QByteArray query;    // the part after "?", without it
    QByteArray version;  // HTTP/1.0 or HTTP/1.1
    HttpHeaders headers;
    QByteArray body;
    bool proxyStyle = false;  // the target was an absolute URL
    bool tls = false;         // it came through an https tunnel

    // The value of the first header of that (lower-case) name, empty when absent.
    QByteArray header(QByteArrayView lowerName) const;

    QByteArray pathAndQuery() const { return query.isEmpty() ? path : path + '?' + query; }
};

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;  // empty: no Content-Type header
    HttpHeaders headers;     // further headers (Set-Cookie, Location, Last-Modified)
    QByteArray body;
    // A stored file as it is: conditional requests, ranges and compression apply.
    bool storedFile = false;
};

// "OK", "Not Found" and so on; "Unknown" for a code the server never uses.
QByteArray reasonPhrase(int status);

// A small HTML page naming the status, for every refusal and error.
HttpResponse statusPage(int status, QByteArrayView detail = {});

// The status line and headers, ending with the empty line. The Content-Length
// header is written when a length is given (it may differ from the body on
// purpose: the short-body fault announces more than it sends).
QByteArray responseHead(const HttpResponse& response, QByteArrayView version, qint64 contentLength);

inline constexpr qint64 kNoContentLength = -1;
