#include "CFormState.h"

#include <limits>

#include "app/FormWindow.h"
#include "base/SettingsStore.h"

using namespace Qt::StringLiterals;

namespace {

int readShort(const SettingsStore& store, const QString& section, const QString& key, int current)
{
    const QString text = store.value(section, key, QString::number(current));
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max()) {
        return 0;
    }
    return v;
}

}  // namespace

CFormState::CFormState(SettingsStore& store)
    : m_store(store)
{}

void CFormState::Initialize(const QString& appName, const QString& section, FormWindow* formObject)
{
    AppName = appName;
    Section = section;
    m_form = formObject;
    if (!m_form) {
        return;
    }
    Top = readShort(m_store, Section, u"Top"_s, m_form->top());
    Left = readShort(m_store, Section, u"Left"_s, m_form->left());
    Width = readShort(m_store, Section, u"Width"_s, m_form->width());
    Height = readShort(m_store, Section, u"Height"_s, m_form->height());
    WindowState = readShort(m_store, Section, u"WindowState"_s, m_form->windowState());
    m_form->setTop(Top);
    m_form->setLeft(Left);
    m_form->setWidth(Width);
    m_form->setHeight(Height);
    m_form->setWindowState(WindowState);
}

void CFormState::Get_()
{
    if (!m_form) {
        return;
    }
    WindowState = m_form->windowState();
    if (WindowState != FormWindow::Minimized) {
        Top = m_form->top();
        Left = m_form->left();
        Width = m_form->width();
        Height = m_form->height();
    }
}

bool CFormState::Save()
{
    if (AppName.isEmpty() || Section.isEmpty()) {
        return false;
    }
    Get_();
    if (WindowState == FormWindow::Normal) {
        m_store.setValue(Section, u"Top"_s, QString::number(Top));
        m_store.setValue(Section, u"Left"_s, QString::number(Left));
        m_store.setValue(Section, u"Width"_s, QString::number(Width));
        m_store.setValue(Section, u"Height"_s, QString::number(Height));
        m_store.setValue(Section, u"WindowState"_s, QString::number(WindowState));
    } else if (WindowState == FormWindow::Maximized) {
        m_store.setValue(Section, u"WindowState"_s, QString::number(WindowState));
    }
    return true;
}
