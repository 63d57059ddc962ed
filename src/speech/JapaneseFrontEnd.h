#pragma once

// Japanese reading front end for voices that cannot read kanji. espeak-ng
// speaks kana but calls every kanji "Chinese letter"; before such a voice gets
// a text, each word is replaced by its pronunciation in katakana: MeCab with
// the IPAdic dictionary (its pronunciation field, so 「今日は」 reads キョーワ),
// and kakasi for the kanji MeCab does not know. Half-width katakana are
// widened, a blank separates ASCII words from kana (espeak-ng otherwise reads
// them together as English), and 「。」「、」「！」「？」 stay, so the pauses
// survive. ASCII is passed through unchanged apart from those blanks, and so is
// every character that is neither kana nor kanji.
//
// The main program opens one front end at start-up and keeps it for its whole
// life; the speech output applies it when the selected voice is espeak(-ng).
// Not thread-safe: use it from one thread. GUI-free.

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

class JapaneseFrontEnd
{
public:
    // Texts are cut into pieces of at most this many characters before they
    // go to MeCab, preferably after a sentence mark or a blank.
    static constexpr qsizetype kMaxChunk = 512;

    JapaneseFrontEnd();
    ~JapaneseFrontEnd();
    JapaneseFrontEnd(const JapaneseFrontEnd&) = delete;
    JapaneseFrontEnd& operator=(const JapaneseFrontEnd&) = delete;

    // The folders where the UTF-8 IPAdic dictionary is looked for, in order:
    // $YOMIMARU_MECAB_DICDIR when set, then the places Debian installs it.
    static QStringList dictionaryCandidates();

    // Opens MeCab with the first candidate dictionary that loads. False (and
    // a one-line reason in warning) when none does; the front end is then off
    // and convert() returns its text unchanged.
    bool open(QString* warning = nullptr);
    // Opens MeCab with the dictionary in this folder only.
    bool open(const QString& dictionaryDir, QString* warning);

    bool isOpen() const;
    // The dictionary folder in use; empty while closed.
    QString dictionaryDir() const;
    // True when kakasi is there for the kanji MeCab cannot read.
    bool hasKakasi() const;

    // The text as the voice should get it. Unchanged while closed.
    QString convert(const QString& text) const;

    // One word of a text as MeCab cuts it: where it starts in the text, how
    // it sounds (katakana, 「は」 as ワ, long vowels as ー; Latin letters,
    // digits and symbols as written) and its part of speech (IPAdic's first
    // two fields). Characters MeCab never sees come as words of their own.
    struct Word
    {
        qsizetype start = 0;
        QString surface;
        QString sound;
        QString pos;
        QString pos1;
    };

    // The words of a text; one word of the whole text as written while closed.
    QList<Word> words(QStringView text) const;

    // True for the voices that need the front end: the speech-dispatcher
    // modules espeak and espeak-ng (the output module of a voice mode).
    static bool needsFrontEnd(const QString& module);

    // CJK unified ideographs (the main block, extension A, the compatibility
    // block and the supplementary planes) and the iteration mark 々.
    static bool isKanji(char32_t c);
    static bool containsKanji(QStringView text);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
