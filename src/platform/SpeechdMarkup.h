#pragma once

// The markup sent to speech-dispatcher for a text: speech-dispatcher drops
// 「。」 and 「、」 before the synthesizer sees them, so their pauses are written
// as breaks, as are the blanks between the items of a header.

#include <QChar>
#include <QString>

namespace SpeechdMarkup {

// The pause in milliseconds written after a punctuation mark, or 0.
int pauseAfter(QChar c);

// The SSML document for a text, its special characters escaped.
QString toSsml(const QString& text);

}  // namespace SpeechdMarkup
