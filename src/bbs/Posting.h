#pragma once

// Sends one reply or one new thread to a board's posting script and says, in
// a sentence ready to be spoken, how it went. Two kinds of board software are
// spoken: the 2ch kind (/test/bbs.cgi) and the まちＢＢＳ kind (/bbs/write.cgi).
// Confirmation pages are answered by posting again (a bounded number of
// times); error pages are recognised by their title and read out.
//
// A post counts as accepted only when the server says so: the 2ch kind's
// "2ch_X:true", a page titled 書きこみました (or 書き込み完了), or a
// redirection to the thread (any redirection on a まちＢＢＳ board). No
// answer, a broken or unknown answer, or an HTTP error is a failure with a
// reason, so the user never hears 「書き込みました。」 for a post that may
// have been lost.

#include <optional>

#include <QString>

class CHttp;

namespace Posting {

// How many times a confirmation page is answered before giving up.
constexpr int kMaxConfirmations = 2;

// The form encoding of the boards: the text in code page 932, every byte but
// A-Z, a-z and 0-9 as "%XX" (upper-case hexadecimal). A character code page
// 932 cannot hold is sent as "&#N;", as browsers do for Shift_JIS forms.
QString UrlEncode(const QString& text);

// A page reduced to speakable text: tags removed, then "&gt;", "&lt;",
// "&nbsp;", "&amp;", "&quot;" and "&reg;" replaced, in that order.
QString HtmlToText(const QString& page);

// Posts to url (the thread's URL for a reply, the board's for a new thread
// when subject is not empty). cookie is the user's stored form fragment,
// appended verbatim to replies of the 2ch kind. The form's time on the 2ch
// kind is `now` (seconds since 1970; the clock when not given) less 30 s.
// A confirmation page is answered by posting the page's own form back (its
// action and every hidden field), with the cookies it set. Returns true when
// the post was accepted; resultMsg receives the sentence to speak (left
// untouched for a まちＢＢＳ thread URL of an unknown shape).
bool Post(CHttp& http,
          const QString& url,
          const QString& name,
          const QString& mail,
          const QString& message,
          QString& resultMsg,
          bool machibbs,
          const QString& subject,
          const QString& cookie,
          std::optional<qint64> now = std::nullopt);

}  // namespace Posting
