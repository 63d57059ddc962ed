#include "MainForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "app/CFormState.h"
#include "app/CSettings.h"
#include "app/WidgetFormWindow.h"

using namespace Qt::StringLiterals;

MainForm::MainForm(const AppPaths& paths, SettingsStore& store, CSettings& settings, QWidget* parent)
    : QWidget(parent)
    , m_paths(paths)
    , m_settings(settings)
    , m_formWindow(std::make_unique<WidgetFormWindow>(this))
    , m_formState(std::make_unique<CFormState>(store))
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"Yomimaru"_s);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(u"読み丸"_s, this);
    m_label->setObjectName(u"Label_Title"_s);
    QFont font = m_label->font();
    font.setPointSize(m_settings.getInt(CSettings::FontSize, 11));
    m_label->setFont(font);
    layout->addWidget(m_label);
    Label_Online = new QLabel(u"Online"_s, this);
    Label_Online->setObjectName(u"Label_Online"_s);
    layout->addWidget(Label_Online);
    resize(640, 480);
}

MainForm::~MainForm() = default;

void MainForm::start()
{
    m_formState->Initialize(u"yomimaru"_s, u"FormLocation/MainForm"_s, m_formWindow.get());
    show();
}

void MainForm::setOnline(bool online)
{
    QPalette palette = Label_Online->palette();
    if (online) {
        Label_Online->setText(u"Online"_s);
        palette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    } else {
        Label_Online->setText(u"Offline"_s);
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Active, QPalette::Mid));
    }
    Label_Online->setPalette(palette);
}

void MainForm::closeEvent(QCloseEvent* event)
{
    m_formState->Save();
    event->accept();
}
