#pragma once

// The service has moved twice: "2ch.net" became "5ch.net" in 2017, and
// "5ch.net" became "5ch.io" in 2026; the old names answer with redirects. A
// board keeps its server name and directory across a move, so
// "uni.2ch.net/zatsudan", "uni.5ch.net/zatsudan" and "uni.5ch.io/zatsudan"
// are one board. Comparisons of board and thread addresses go through here.

#include <QString>

namespace ServiceDomain {

// The service's domain today.
inline constexpr const char16_t* kCurrent = u"5ch.io";

// The host (with any ":port") as the service names it today, lower-cased:
// "HOST.2ch.net" and "HOST.5ch.net" become "HOST.5ch.io"; any other host is
// only lower-cased.
QString currentHost(const QString& host);

// True when both addresses name the same place: the same path and query,
// hosts equal as currentHost makes them, "http" and "https" alike.
bool sameAddress(const QString& a, const QString& b);

}  // namespace ServiceDomain
