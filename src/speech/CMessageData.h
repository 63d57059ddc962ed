#pragma once

// One bulletin-board message cut into the units the reader steps through: the
// header, sentences or lines, links, mail addresses and quotations. Every unit
// exists twice, as the text shown in the message box and as the text spoken,
// and carries a kind that becomes its speech mode (0 plain, 1 link, 2 mail
// address, 3 + N a quotation of depth N). Character art is not read out; the
// reader hears that it is there instead.
//
// The voice menu owns one instance and refills it for every message it reads.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "speech/UnitInfo.h"

class CSettings;

class CMessageData
{
public:
    // The spoken text when the reader moves past the last unit.
    static constexpr QStringView kNoMoreText = u"これ以上の読み上げ文はありません。";
    // The spoken text of a message that is character art.
    static constexpr QStringView kAsciiArtText = u"アスキーアートです";
    // Quotations nested deeper than this keep their remaining quote marks as text.
    static constexpr int kMaxQuoteDepth = 99;
    // A body longer than this (many times the longest post a board accepts) is
    // not cut up: some rules cost time in the square of the length of a run of
    // blanks or quote marks, so such a body is read as one unit.
    static constexpr qsizetype kMaxCutLength = 16 * 1024;

    CMessageData();

    // Cuts the message (line breaks as CR LF) into units. Reads the settings
    // ReadAsciiArt and ReadQuoteLevel.
    void InitInstance(const CSettings& settings,
                      const QString& message,
                      const QString& disp_header,
                      const QString& read_header);
    // The same with the values of ReadAsciiArt and ReadQuoteLevel given directly.
    void InitInstance(const QString& readAsciiArt,
                      const QString& readQuoteLevel,
                      const QString& message,
                      const QString& disp_header,
                      const QString& read_header);
    void ExitInstance();

    bool Have_Message() const { return m_index < m_count; }

    qint32 Get_MessageCurrentNum() const { return m_index; }

    qint32 Get_MessageMaxNum() const { return m_count; }

    // Moves to another unit (by `move`, or to it when absolute) and returns its
    // reading text and kind. Past the end it stays on the last unit, says so and
    // leaves line_type alone.
    QString Get_Message(qint32 move, qint16& line_type, bool absolute);

    // Display text of a unit; -1 is the current unit.
    QString Get_OrgMessage(qint32 unit) const;
    // The display units at 1..count; slot 0 is empty.
    QStringList Get_OrgMessages() const;
    QString Get_OrgMessagesText() const;
    void Get_OrgMessagePos(qint32& start, qint32& length) const;
    // The position in a text document of an offset into Get_OrgMessagesText:
    // a document keeps one paragraph break where the text has CR LF.
    static int documentPosition(const QString& text, qint32 offset);

    void Set_Index(qint32 index) { m_index = index; }

    qint32 Get_Index() const { return m_index; }

    void Rewind_Index();

    // The nearest link or mail unit after (or before) the current one; 0 when none.
    qint32 Get_NextLink(bool back_search) const;
    // The nearest unit that starts a paragraph after (or before) the current one; 0 when none.
    qint32 Get_NextParagraph(bool back_search) const;
    qint32 Get_CurrentLinePos() const;

    // True when the text looks like character art (and its detection is on).
    bool Check_AA(const QString& text) const;

    // Reading text and unit info of a unit, for the tests and the edit viewer;
    // empty or all zero outside 1..count.
    QString readingUnit(qint32 unit) const;
    UnitInfo unitInfo(qint32 unit) const;

    // The reading text of the normalised body D: quote marks removed and every
    // quotation bracketed with its depth.
    static QString MarkQuoteLevels(const QString& text);

private:
    void buildUnits(const QString& message, const QString& disp_header, const QString& read_header);
    void setWholeMessage(const QString& message,
                         const QString& disp_header,
                         const QString& read_header,
                         const QString& reading);
    void fillUnitInfo();

    QStringList m_dispUnits;     // 0..count, slot 0 unused
    QStringList m_readUnits;     // 0..count, slot 0 unused
    QList<UnitInfo> m_unitInfo;  // 0..count, slot 0 all zero
    QString m_normalized;
    qint32 m_count = 0;
    qint32 m_index = 0;
    QString m_readAsciiArt;
    QString m_readQuoteLevel;
    // Unit 1 is the spoken header: its blanks part the number, name, date
    // and ID, and stay.
    bool m_headerUnit = false;
};
