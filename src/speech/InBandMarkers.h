#pragma once

// The character sequences the message text model puts into its texts to mark
// structure on the way to the speech output. They are plain text, so the text
// model disarms any copy of them that a poster typed into a message; none of
// them may reach the screen or the speech engine.

#include <QStringView>

namespace InBandMarker {

inline constexpr QStringView UnitBreak = u"&rr;";
inline constexpr QStringView AnchorGuard = u"&numref;";
inline constexpr QStringView UrlOpen = u"<&&前";
inline constexpr QStringView UrlClose = u"後&&>";
inline constexpr QStringView MailOpen = u"<&&眼";
inline constexpr QStringView MailClose = u"瑠&&>";
inline constexpr QStringView AttachOpen = u"<&&添";
inline constexpr QStringView AttachClose = u"付&&>";
// A quotation of depth N opens with QuoteOpenHead + N + QuoteOpenTail and
// closes with QuoteCloseHead + N + QuoteCloseTail.
inline constexpr QStringView QuoteOpenHead = u"<&&引";
inline constexpr QStringView QuoteOpenTail = u"用";
inline constexpr QStringView QuoteCloseHead = u"引";
inline constexpr QStringView QuoteCloseTail = u"用&&>";
// Followed by one digit: the pitch of the segment that follows.
inline constexpr QStringView Pitch = u"&&pitch;";

// Every marker begins or ends with one of these pieces, so a text free of
// them carries no marker at all.
inline constexpr QStringView Fragments[] = {u"&rr;", u"&numref;", u"<&&", u"&&>", u"&&pitch;"};

}  // namespace InBandMarker
