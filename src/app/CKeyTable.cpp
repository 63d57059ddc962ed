#include "CKeyTable.h"

#include <QStringList>

using namespace Qt::StringLiterals;

void CKeyTable::InitInstance()
{
    m_entries = {{17, u"CTRL"_s}, {16, u"SHIFT"_s}, {18, u"ALT"_s}, {19, u"PAUSE"_s}};
    for (quint32 c = 'A'; c <= 'Z'; ++c) {
        m_entries.append({c, QString(QChar(char16_t(c)))});
    }
    for (quint32 f = 1; f <= 12; ++f) {
        m_entries.append({111 + f, u"F"_s + QString::number(f)});
    }
    for (quint32 d = 0; d <= 9; ++d) {
        m_entries.append({48 + d, QString::number(d)});
    }
}

quint32 CKeyTable::Get_VtKey(const QString& name) const
{
    const QString upper = name.toUpper();
    for (const Entry& e : m_entries) {
        if (e.name == upper) {
            return e.code;
        }
    }
    return 0;
}

QString CKeyTable::Get_Command(quint32 code) const
{
    for (const Entry& e : m_entries) {
        if (e.code == code) {
            return e.name;
        }
    }
    return {};
}

bool CKeyTable::Get_VtKeys(const QString& combination, QList<quint32>& codes) const
{
    codes.clear();
    if (combination.isEmpty()) {
        return false;
    }
    for (const QString& part : combination.split(u'+')) {
        const quint32 code = Get_VtKey(part);
        if (code == 0) {
            return false;
        }
        codes.append(code);
    }
    return true;
}

QString CKeyTable::Get_Commands(const QList<quint32>& codes) const
{
    QStringList names;
    for (const quint32 code : codes) {
        const QString name = Get_Command(code);
        names.append(name.isEmpty() ? u"??"_s : name);
    }
    return names.join(u'+');
}

QString CKeyTable::Get_Commands2(quint32 code, bool ctrl, bool shift, bool alt) const
{
    QString text;
    if (ctrl) {
        text += u"CTRL+"_s;
    }
    if (shift) {
        text += u"SHIFT+"_s;
    }
    if (alt) {
        text += u"ALT+"_s;
    }
    const QString name = Get_Command(code);
    return text + (name.isEmpty() ? u"??"_s : name);
}
