#include "MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QResizeEvent>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/CFormState.h"
#include "app/KeyCodes.h"
#include "app/WidgetFormWindow.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"
#include "dialogs/LineEditDlg.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

MainForm::MainForm(const AppPaths& paths, SettingsStore& store, CSettings& settings, QWidget* parent)
    : MainForm(paths, store, settings, Services(), parent)
{}

MainForm::MainForm(const AppPaths& paths,
                   SettingsStore& store,
                   CSettings& settings,
                   const Services& services,
                   QWidget* parent)
    : QWidget(parent)
    , m_paths(paths)
    , m_store(store)
    , m_settings(settings)
    , m_services(services)
    , m_formWindow(std::make_unique<WidgetFormWindow>(this))
    , m_formstate(std::make_unique<CFormState>(store))
    , Timer_AllRead(u"Timer_AllRead"_s)
    , Timer_Number(u"Timer_Number"_s, QtTicker::SingleShot)
    , Timer_Mouse(u"Timer_Mouse"_s, QtTicker::SingleShot)
    , m_keys(*this, m_busy, Timer_Mouse, Timer_Number)
    , m_readAll(*this, Timer_AllRead)
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(applicationTitle());
    buildUi();

    Timer_Read.setObjectName(u"Timer_Read"_s);
    Timer_Read.setInterval(kReadTickMs);
    Timer_SRV_Block.setObjectName(u"Timer_SRV_Block"_s);
    Timer_SRV_Block.setInterval(10);
    connect(&Timer_Read, &QTimer::timeout, this, &MainForm::Timer_Read_Tick);
    connect(&Timer_SRV_Block, &QTimer::timeout, this, [this] {
        if (m_services.screenReaders) {
            m_services.screenReaders->Block_SRVoice();
        }
    });
    if (m_services.speech) {
        connect(m_services.speech, &SpeechOutput::speechStarted, this,
                [this] { Label_Speak->setStyleSheet(u"color: rgb(0, 255, 0);"_s); });
        connect(m_services.speech, &SpeechOutput::speechFinished, this, [this] {
            Label_Speak->setStyleSheet({});
            readOnSoon();
        });
    }
    // Leaving for another program or coming back is followed at once, also
    // while the tick is slow.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] {
        if (Timer_Read.isActive()) {
            Timer_Read.start(0);
        }
    });
}

MainForm::~MainForm()
{
    if (m_savedPalette != QPalette()) {
        QApplication::setPalette(m_savedPalette);
    }
    if (m_filterInstalled) {
        qApp->removeEventFilter(this);
    }
    if (VMenu) {
        VMenu->ExitInstance();
    }
}

QString MainForm::applicationTitle() const
{
    return u"Yomimaru"_s;
}

void MainForm::buildUi()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Picture_Back = new QWidget(this);
    Picture_Back->setObjectName(u"Picture_Back"_s);
    Picture_Back->setAutoFillBackground(true);
    outer->addWidget(Picture_Back);
    auto* grid = new QGridLayout(Picture_Back);
    TreeView_Board = new QTreeWidget(Picture_Back);
    TreeView_Board->setObjectName(u"TreeView_Board"_s);
    TreeView_Board->setHeaderHidden(true);
    TreeView_Board->setFocusPolicy(Qt::NoFocus);
    List_Select = new QListWidget(Picture_Back);
    List_Select->setObjectName(u"List_Select"_s);
    List_Select->setFocusPolicy(Qt::NoFocus);
    Text_Msg = new QPlainTextEdit(Picture_Back);
    Text_Msg->setObjectName(u"Text_Msg"_s);
    Text_Msg->setReadOnly(true);
    Text_Msg->setFocusPolicy(Qt::NoFocus);
    Text_Msg->setMaximumBlockCount(5000);
    Label_Sel = new QLabel(u"選択"_s, this);
    Label_Sel->setObjectName(u"Label_Sel"_s);
    Label_Total = new QLabel(u"ﾄｰﾀﾙ"_s, this);
    Label_Total->setObjectName(u"Label_Total"_s);
    DigitalD_Read = new QLCDNumber(5, this);
    DigitalD_Read->setObjectName(u"DigitalD_Read"_s);
    DigitalD_Total = new QLCDNumber(5, this);
    DigitalD_Total->setObjectName(u"DigitalD_Total"_s);
    Label_Online = new QLabel(u"Online"_s, this);
    Label_Online->setObjectName(u"Label_Online"_s);
    Label_Speak = new QLabel(u"Speak"_s, this);
    Label_Speak->setObjectName(u"Label_Speak"_s);
    Label_Load = new QLabel(u"Download"_s, this);
    Label_Load->setObjectName(u"Label_Load"_s);
    Label_ProgBar = new QLabel(this);
    Label_ProgBar->setObjectName(u"Label_ProgBar"_s);
    Label_ProgBar->setAutoFillBackground(true);
    Label_ProgBar->setFixedHeight(6);
    Label_ProgBar->setFixedWidth(0);

    auto* status = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{Label_Sel, DigitalD_Read, Label_Total, DigitalD_Total,
                                                      Label_Online, Label_Speak, Label_Load}) {
        status->addWidget(w);
    }
    status->addStretch();
    grid->addWidget(TreeView_Board, 0, 0, 4, 1);
    grid->addWidget(Text_Msg, 0, 1);
    grid->addWidget(Label_ProgBar, 1, 1, Qt::AlignLeft);
    grid->addWidget(List_Select, 2, 1);
    grid->addLayout(status, 3, 1);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(2, 1);
    resize(800, 600);
}

bool MainForm::start()
{
    m_savedPalette = QApplication::palette();
    m_formstate->Initialize(u"yomimaru"_s, u"FormLocation/MainForm"_s, m_formWindow.get());
    show();
    if (!m_services.speech || !m_services.engine || !m_services.readconv) {
        return true;
    }
    Switch_Color();
    VMenu = std::make_unique<VoiceMenu>(m_paths, m_settings, *m_services.speech, *m_services.engine,
                                        m_services.screenReaders, *this, m_services.offline);
    VMenu->setSoundPlayer(m_services.sounds);
    const bool started = VMenu->Initialize();
    if (!started) {
        m_end = true;
        Timer_Read.start();
        return false;
    }
    setOnline(VMenu->Get_Online());
    if (m_settings.Get_(CSettings::WindowMaximized) == u"1"_s) {
        showMaximized();
    }
    Switch_FontSize();
    fillTree();
    Update_List();
    Show_Counter(VMenu->Get_Index(), VMenu->Get_ItemNum());
    if (m_services.screenReaders && m_services.screenReaders->count() > 0) {
        Timer_SRV_Block.start();
    }
    watchReadConv();
    Timer_Read.start();
    if (windowActive()) {
        qApp->installEventFilter(this);
        m_filterInstalled = true;
    }
    return true;
}

const Migemo& MainForm::migemo()
{
    // Without a working dictionary the search matches the typed text literally.
    if (!m_migemoOpened) {
        m_migemoOpened = true;
        m_migemoDictionary.open(Migemo::dictionaryFor(m_paths.dataRoot()));
    }
    return m_migemoDictionary;
}

void MainForm::showMessageBox(MessageIcon icon, const QString& text)
{
    if (m_services.messageBox) {
        m_services.messageBox(icon, text);
        return;
    }
    if (icon == MessageIcon::Error) {
        QMessageBox::critical(this, applicationTitle(), text);
    } else {
        QMessageBox::information(this, applicationTitle(), text);
    }
}

QString MainForm::runLineEditDialog(const QString& caption, const QString& prompt, const QString& text)
{
    // The window is in dialog state while the dialog is up: reading stops and
    // the window's keys rest.
    m_dialog_open = true;
    if (VMenu) {
        VMenu->Stop_Read();
    }
    LineEditDlg dialog(m_services.speech, m_services.sounds, VMenu ? &VMenu->helpMenu() : nullptr, this);
    dialog.Initialize(caption, prompt);
    dialog.setText(text);
    dialog.setLowVision(m_settings.Get_(CSettings::LowVisionColors) == u"1"_s);
    if (m_services.dialogRunner) {
        m_services.dialogRunner(dialog);
    } else {
        dialog.exec();
    }
    m_dialog_open = false;
    m_keys.setFastMove(false);
    activateWindow();
    return dialog.result();
}

void MainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!VMenu) {
        return;
    }
    if (isMaximized()) {
        m_settings.Set_(CSettings::WindowMaximized, u"1"_s);
    } else if (!isMinimized()) {
        m_settings.Set_(CSettings::WindowMaximized, u"0"_s);
    }
    Switch_FontSize();
}

void MainForm::setClipboardText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        if (!text.isEmpty()) {
            clipboard->setText(text);
        }
    }
}

bool MainForm::openWithDesktop(const QString& target)
{
    return QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}

bool MainForm::startCommand(const QString& commandLine)
{
    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty()) {
        return false;
    }
    const QString program = parts.takeFirst();
    return QProcess::startDetached(program, parts);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    // Every key reaches the window object once, before any widget.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWindowType()
        && !m_dialog_open) {
        auto* key = static_cast<QKeyEvent*>(event);
        const quint32 code = KeyCodes::fromQt(*key);
        if (code != 0 && !key->isAutoRepeat()) {
            const Qt::KeyboardModifiers m = key->modifiers();
            handleKey(code, event->type() == QEvent::KeyPress, m.testFlag(Qt::ControlModifier),
                      m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::AltModifier));
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool MainForm::windowActive() const
{
    return m_services.isWindowActive ? m_services.isWindowActive() : isActiveWindow();
}

void MainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && VMenu) {
        if (windowActive() && !m_filterInstalled) {
            qApp->installEventFilter(this);
            m_filterInstalled = true;
        } else if (!windowActive() && m_filterInstalled) {
            qApp->removeEventFilter(this);
            m_filterInstalled = false;
        }
    }
    QWidget::changeEvent(event);
}

void MainForm::quitNow()
{
    // Ends without waiting for speech: a download in progress is told to
    // stop (and no other may start), its caller unwinds, and the next tick
    // of the reading timer that finds no action running ends the program.
    m_end = true;
    m_quit_now = true;
    VMenu->http().Shutdown();
    if (m_services.speech) {
        m_services.speech->StopSpeech();
    }
}

void MainForm::endProgram()
{
    Timer_Read.stop();
    Timer_SRV_Block.stop();
    QApplication::setPalette(m_savedPalette);
    m_formstate->Save();
    if (m_filterInstalled) {
        qApp->removeEventFilter(this);
        m_filterInstalled = false;
    }
    m_migemoDictionary.close();
    const bool shutdown = VMenu && VMenu->IsShutdown();
    if (VMenu) {
        VMenu->ExitInstance();
    }
    if (shutdown && m_services.powerOff) {
        m_services.powerOff();
    }
    emit ended();
    QCoreApplication::quit();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    if (!VMenu || m_end) {
        m_formstate->Save();
        event->accept();
        return;
    }
    // Closing the window goes to the exit menu, as the exit key does; not
    // while a download holds the menu.
    event->ignore();
    if (VMenu->IsMenuFixed()) {
        return;
    }
    if (!VMenu->JumpExit()) {
        m_end = true;
    }
    afterNavigation();
}
