#pragma once

// Names of the keys the program knows: Ctrl, Shift, Alt, Pause, the letters,
// F1 to F12 and the digits, each with its virtual-key code. Entries count
// from 1. Key names join with "+" into combinations ("CTRL+SHIFT+A").

#include <QList>
#include <QString>

class CKeyTable
{
public:
    void InitInstance();
    // The code of a key name (any case), 0 when unknown.
    quint32 Get_VtKey(const QString& name) const;
    // The name of a code, empty when unknown.
    QString Get_Command(quint32 code) const;
    // The codes of a "+"-joined combination; false when a part is unknown.
    bool Get_VtKeys(const QString& combination, QList<quint32>& codes) const;
    // The names of the codes joined by "+", "??" for an unknown one.
    QString Get_Commands(const QList<quint32>& codes) const;
    // "CTRL+", "SHIFT+", "ALT+" as flagged, then the key's name or "??".
    QString Get_Commands2(quint32 code, bool ctrl, bool shift, bool alt) const;

    int count() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        quint32 code;
        QString name;
    };

    QList<Entry> m_entries;
};
