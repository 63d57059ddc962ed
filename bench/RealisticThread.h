#pragma once

// A thread of the size and make-up of a busy real one, for benchmarks: 1000
// messages of about 440 bytes each in code page 932 (about 440 KB), bodies of
// several lines with reply anchors (as the servers write them: links around
// "&gt;&gt;N"), web addresses, quotations and entities, names with trips
// now and then, "sage" in a third of the mail fields, dates with weekday
// and centiseconds, IDs. The same text on every call (a fixed pseudo-random
// sequence).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "base/TextCodec.h"

namespace RealisticThread {

inline QByteArray datBytes(int messages = 1000)
{
    using namespace Qt::StringLiterals;
    const QStringList sentences = {
        u"それは前から言われてたことだと思うけどな。"_s,
        u"今日の天気は晴れのち曇りで、夕方から雨になるらしい。"_s,
        u"自分も同じ症状で困ってたけど、設定を見直したら直ったよ。"_s,
        u"ソースはどこ？"_s,
        u"いやいや、それはさすがに無理があるでしょ。"_s,
        u"昨日の放送見た人いる？　後半の展開がすごかった。"_s,
        u"ｗｗｗ"_s,
        u"公式の発表を待ったほうがいいと思います。"_s,
        u"初心者なんですが、最初に何を買えばいいですか？"_s,
        u"過去スレも読んでから質問しような。"_s,
    };
    quint32 seed = 12345;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    QString text;
    text.reserve(messages * 300);
    for (int i = 1; i <= messages; ++i) {
        text += next(7) == 0 ? u"コテハン ◆Abc123XyZ"_s : u"名無しさん＠お腹いっぱい。"_s;
        text += u"<>"_s + (i % 3 == 0 ? u"sage"_s : QString()) + u"<>2026/12/08(火) "_s;
        text += QString::number(10 + i / 60 % 14) + u':' + QString::number(i % 60).rightJustified(2, u'0')
                + u':' + QString::number(next(60)).rightJustified(2, u'0') + u'.'
                + QString::number(next(100)).rightJustified(2, u'0') + u" ID:"_s
                + QString::number(next(0x7FFFFFFFu), 36).rightJustified(8, u'x').left(8) + u"<> "_s;
        if (i > 1) {
            const int to = int(next(quint32(i - 1))) + 1;
            text += u"<a href=\"../test/read.cgi/news/1765000000/"_s + QString::number(to)
                    + u"\" target=\"_blank\">&gt;&gt;"_s + QString::number(to) + u"</a> <br> "_s;
        }
        const int lines = 3 + int(next(4));
        for (int l = 0; l < lines; ++l) {
            if (next(5) == 0) {
                text += u"&gt; "_s;
            }
            text += sentences.at(next(quint32(sentences.size())));
            if (next(6) == 0) {
                text += u" http://example.com/articles/"_s + QString::number(next(100000)) + u".html"_s;
            }
            if (next(8) == 0) {
                text += u" &amp; "_s;
            }
            text += u" <br> "_s;
        }
        text += sentences.at(next(quint32(sentences.size()))) + u" <>"_s;
        if (i == 1) {
            text += u"【雑談】実況しながら語るスレ Part12"_s;
        }
        text += u'\n';
    }
    return TextCodec::toCp932(text);
}

}  // namespace RealisticThread
