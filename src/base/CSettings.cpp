#include "CSettings.h"

#include <QStringList>

#include "base/SettingsStore.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Config"_s;

QString storeKey(qint16 index)
{
    return u"Setting"_s + QString::number(index);
}

}  // namespace

CSettings::CSettings(SettingsStore& store)
    : m_store(store)
{
    m_values = QString::fromUtf16(kDefaults).split(u',');
}

bool CSettings::InitInstance()
{
    const QStringList defaults = QString::fromUtf16(kDefaults).split(u',');
    const qsizetype last = defaults.size() - 1;
    m_error.clear();
    if (last != kCount) {
        m_error =
            u"CSettings初期値数エラー("_s + QString::number(kCount) + u'/' + QString::number(last) + u')';
    }
    m_values = QList<QString>(qMax<qsizetype>(last, kCount) + 1);
    for (qsizetype i = 1; i <= last; ++i) {
        m_values[i] = m_store.value(kSection, storeKey(qint16(i)), defaults.at(i));
    }
    return m_error.isEmpty();
}

QString CSettings::Get_(qint16 index) const
{
    if (index < 1 || index > kCount || index >= m_values.size()) {
        return u"1"_s;
    }
    return m_values.at(index);
}

bool CSettings::isStored(qint16 index) const
{
    return index >= 1 && index <= kCount && m_store.contains(kSection, storeKey(index));
}

bool CSettings::Set_(qint16 index, const QString& value)
{
    if (index < 1 || index > kCount || index >= m_values.size()) {
        return true;
    }
    m_values[index] = value;
    return written(m_store.setValue(kSection, storeKey(index), value));
}

bool CSettings::written(bool ok)
{
    if (!ok && !m_writeFailing && m_onWriteFailure) {
        m_onWriteFailure(u"設定を保存できませんでした。"_s);
    }
    m_writeFailing = !ok;
    return ok;
}

int CSettings::getInt(qint16 index, int fallback) const
{
    bool ok = false;
    const int v = Get_(index).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

QString CSettings::Get_Named(const QString& key, const QString& defaultValue) const
{
    return m_store.value(kSection, key, defaultValue);
}

bool CSettings::HasNamed(const QString& key) const
{
    return m_store.contains(kSection, key);
}

bool CSettings::Set_Named(const QString& key, const QString& value)
{
    return written(m_store.setValue(kSection, key, value));
}
