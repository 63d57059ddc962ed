#pragma once

// What speech-dispatcher sends to speak (SSML, or plain text) cut into the
// phrases that Open JTalk synthesizes one by one: at 「。」「、」「！」「？」,
// at line breaks, at the SSML breaks and at a length bound, so that the first
// phrase is short and is heard while the next ones are still synthesized.

#include <string>
#include <string_view>
#include <vector>

namespace ojt {

struct Phrase
{
    std::string text;                // UTF-8, no markup; may be empty when only marks are left
    int pauseMs = 0;                 // silence after the phrase
    std::vector<std::string> marks;  // index marks reached once the phrase has been heard
};

struct PhraseRules
{
    int sentencePauseMs = 400;  // after 「。」「！」「？」 with no break of its own
    int clausePauseMs = 200;    // after 「、」 and a line break
    // Characters of the first phrase at most, and of every later one: Open
    // JTalk takes longer for a long phrase than for its halves, and the first
    // phrase's synthesis is the wait before the first sound.
    std::size_t firstBound = 16;
    std::size_t bound = 48;
};

// Removes the tags (a <break time="..."/> sets the pause before it, a
// <mark name="..."/> is kept as an index mark), decodes the character
// references, drops control characters and cuts the rest into phrases.
// Texts without tags are taken as they are.
std::vector<Phrase> splitIntoPhrases(std::string_view ssml, const PhraseRules& rules = {});

}  // namespace ojt
