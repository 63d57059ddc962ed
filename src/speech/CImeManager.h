#pragma once

// The state of the input method's composition in the attached field, as the
// input method told it through its events: the composition string (preedit),
// its clauses, which clause is being converted, the cursor, and the result
// when it is committed. GUI-free; the dialogs translate their input-method
// events into Composition values.
//
// The input methods of this platform (fcitx5, ibus, both with mozc) do not
// give the reading of a converted clause. What stands in for it: the last
// composition before any clause was converted is kept as the reading of the
// whole composition, and a clause is told apart by its number and by the
// composition around it (which a new candidate for the same clause leaves as
// it was).

#include <QList>
#include <QString>

class CImeManager
{
public:
    // The kinds of string Get_String gives.
    static constexpr int kCompReadStr = 1;
    static constexpr int kCompStr = 8;

    struct Clause
    {
        int start = 0;
        int length = 0;
        // The clause being converted (drawn highlighted by the input method).
        bool target = false;

        bool operator==(const Clause&) const = default;
    };

    // One input-method event.
    struct Composition
    {
        QString preedit;
        QString commit;
        QList<Clause> clauses;
        int cursor = -1;  // -1: at the end

        bool operator==(const Composition&) const = default;
    };

    struct TargetClauseInfo
    {
        int number = -1;  // from 0; -1 when nothing is converted
        QString reading;

        bool operator==(const TargetClauseInfo&) const = default;
    };

    // Starts over for a field; the composition is empty.
    void Initialize();

    void End_() { Initialize(); }

    // Whether the input method was seen composing since it was last seen off.
    bool IsOpen() const { return m_open; }

    // Keeps the record of the state; the input method itself cannot be
    // switched from here on this platform.
    void Set_OpenClose(bool open) { m_open = open; }

    // Takes an event. Returns false when it repeats the last one.
    bool update(const Composition& composition);

    bool isComposing() const { return !m_current.preedit.isEmpty(); }

    QString Get_String(int kind) const;
    // In code page 932 bytes.
    int Get_Length(int kind) const;
    int Get_CurPos() const;
    // What the last event changed: from the first character that differs from
    // the composition before it up to the cursor.
    QString Get_LastInput(int kind) const;
    bool IsConverted() const;
    QString Get_TargetClause(int kind) const;
    TargetClauseInfo Get_TargetClauseInfo() const;

    // Clauses from event attributes may repeat a range (ibus gives one per
    // attribute); this sorts them and keeps each range once, a target
    // wherever one of the copies was.
    static QList<Clause> mergeClauses(QList<Clause> clauses);

private:
    Composition m_current;
    QString m_previousPreedit;
    QString m_reading;
    bool m_open = false;
};
