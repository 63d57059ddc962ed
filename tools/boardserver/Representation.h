#pragma once

// What a board's server does with a stored file before it sends it, as the
// boards' own servers do: answers a conditional request whose copy is still
// current with 304, a byte range with 206 (416 when it starts past the end),
// and compresses a whole text answer with gzip when the client takes it.

#include <QByteArray>
#include <QDateTime>

#include "HttpMessage.h"

namespace Representation {

// Validators of a stored file: its modification time as an HTTP date and an
// entity tag made of its size and time.
QByteArray httpDate(const QDateTime& time);
QByteArray entityTag(qint64 size, const QDateTime& modified);

// Applies If-None-Match / If-Modified-Since, then Range, then gzip to the
// answer of a stored file (status 200, with its Last-Modified and ETag set).
void apply(const HttpRequest& request, HttpResponse& response);

// The body compressed in the gzip format; empty when compression failed.
QByteArray gzip(const QByteArray& body);

}  // namespace Representation
