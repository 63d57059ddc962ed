#include "MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "app/CFormState.h"
#include "app/FlowLayout.h"
#include "app/KeyCodes.h"
#include "app/WidgetFormWindow.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"
#include "dialogs/EditModeViewer.h"
#include "dialogs/FindDlg.h"
#include "dialogs/LineEditDlg.h"
#include "dialogs/WriteDlg.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

// Rows of the tree as tall as their names wrapped within the tree's width:
// the view itself measures a wrapped name as if it had the whole width, and
// a large-type name was cut off below its first line.
class WrappingTreeDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingTreeDelegate(QTreeView* tree)
        : QStyledItemDelegate(tree)
        , m_tree(tree)
    {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        int depth = 1;
        for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) {
            ++depth;
        }
        const QStyle* style = m_tree->style();
        const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_tree) + 1;
        const int width =
            qMax(1, m_tree->viewport()->width() - m_tree->indentation() * depth - 2 * textMargin);
        const QRect text = item.fontMetrics.boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX),
                                                         Qt::TextWordWrap | Qt::TextWrapAnywhere, item.text);
        const QSize plain = QStyledItemDelegate::sizeHint(option, index);
        return {plain.width(), qMax(plain.height(), text.height() + 2 * textMargin)};
    }

private:
    QTreeView* m_tree;
};

}  // namespace

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
    , m_mouse(*this, m_keys, m_busy)
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
        connect(m_services.speech, &SpeechOutput::speechStarted, this, [this] {
            m_speaking = true;
            applyStatusColours();
            followReadingUnit(false);
            // A running screen reader is kept quiet while the program talks;
            // when nothing plays there is nothing to keep it from.
            if (screenReaderRunning()) {
                m_services.screenReaders->Block_SRVoice();
                Timer_SRV_Block.start();
            }
        });
        connect(m_services.speech, &SpeechOutput::speechFinished, this, [this] {
            m_speaking = false;
            Timer_SRV_Block.stop();
            applyStatusColours();
            readOnSoon();
        });
    }
    // Leaving for another program or coming back is followed at once, also
    // while the tick is slow; so is a running screen reader.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] {
        if (Timer_Read.isActive()) {
            Timer_Read.start(0);
        }
        if (screenReaderRunning()) {
            m_services.screenReaders->Block_SRVoice();
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
    TreeView_Board = new QTreeWidget(Picture_Back);
    TreeView_Board->setObjectName(u"TreeView_Board"_s);
    TreeView_Board->setHeaderHidden(true);
    TreeView_Board->setFocusPolicy(Qt::NoFocus);
    // Long names wrap within the tree's width rather than run off its edge.
    TreeView_Board->setWordWrap(true);
    TreeView_Board->setTextElideMode(Qt::ElideNone);
    TreeView_Board->setUniformRowHeights(false);
    TreeView_Board->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TreeView_Board->header()->setStretchLastSection(true);
    TreeView_Board->setItemDelegate(new WrappingTreeDelegate(TreeView_Board));
    // The view keeps row heights measured at the old width: measure again.
    connect(TreeView_Board->header(), &QHeaderView::sectionResized, TreeView_Board,
            [this] { QTimer::singleShot(0, TreeView_Board, [this] { TreeView_Board->doItemsLayout(); }); });
    List_Select = new QListWidget(Picture_Back);
    List_Select->setObjectName(u"List_Select"_s);
    List_Select->setFocusPolicy(Qt::NoFocus);
    // Items wrap within the list's width: large type is never cut off.
    List_Select->setWordWrap(true);
    List_Select->setTextElideMode(Qt::ElideNone);
    List_Select->setResizeMode(QListView::Adjust);
    List_Select->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text_Msg = new QPlainTextEdit(Picture_Back);
    Text_Msg->setObjectName(u"Text_Msg"_s);
    Text_Msg->setReadOnly(true);
    Text_Msg->setFocusPolicy(Qt::NoFocus);
    Text_Msg->setMaximumBlockCount(5000);
    // The right button goes back everywhere on the window, over the text too.
    Text_Msg->setContextMenuPolicy(Qt::NoContextMenu);
    // The tree and the list show where the voice menu is; a click on them
    // acts on the menu, it does not pick a line of its own.
    TreeView_Board->viewport()->setAttribute(Qt::WA_TransparentForMouseEvents);
    List_Select->viewport()->setAttribute(Qt::WA_TransparentForMouseEvents);
    Picture_Status = new QWidget(Picture_Back);
    Picture_Status->setObjectName(u"Picture_Status"_s);
    Picture_Status->setAutoFillBackground(true);
    m_statusFlow = new FlowLayout(Picture_Status);
    m_statusFlow->setContentsMargins(0, 0, 0, 0);
    const auto label = [this](const QString& name, const QString& text) {
        auto* l = new QLabel(text, Picture_Status);
        l->setObjectName(name);
        l->setAutoFillBackground(true);
        l->setMargin(2);
        return l;
    };
    Label_Sel = label(u"Label_Sel"_s, u"選択"_s);
    Label_Total = label(u"Label_Total"_s, u"ﾄｰﾀﾙ"_s);
    DigitalD_Read = label(u"DigitalD_Read"_s, u"0"_s);
    DigitalD_Total = label(u"DigitalD_Total"_s, u"0"_s);
    for (QLabel* counter : {DigitalD_Read, DigitalD_Total}) {
        counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    Label_Online = label(u"Label_Online"_s, u"Online"_s);
    Label_Speak = label(u"Label_Speak"_s, u"Speak"_s);
    Label_Load = label(u"Label_Load"_s, u"Download"_s);
    Label_ProgBar = new QLabel(Picture_Back);
    Label_ProgBar->setObjectName(u"Label_ProgBar"_s);
    Label_ProgBar->setAutoFillBackground(true);
    Label_ProgBar->setFixedHeight(6);
    Label_ProgBar->setFixedWidth(0);
    Label_ProgBar->hide();

    // A counter stays beside its caption when the row wraps.
    for (const auto& [caption, counter] :
         {std::pair{Label_Sel, DigitalD_Read}, {Label_Total, DigitalD_Total}}) {
        auto* pair = new QWidget(Picture_Status);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(caption);
        row->addWidget(counter);
        m_statusFlow->addWidget(pair);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{Label_Online, Label_Speak, Label_Load}) {
        m_statusFlow->addWidget(w);
    }
    // The tree beside the message box and the list; the status row below both.
    m_grid = new QGridLayout(Picture_Back);
    m_grid->addWidget(TreeView_Board, 0, 0, 3, 1);
    m_grid->addWidget(Text_Msg, 0, 1);
    m_grid->addWidget(Label_ProgBar, 1, 1, Qt::AlignLeft);
    m_grid->addWidget(List_Select, 2, 1);
    m_grid->addWidget(Picture_Status, 3, 0, 1, 2);
    m_grid->setColumnStretch(1, 3);
    m_grid->setColumnStretch(0, 1);
    m_grid->setRowStretch(2, 1);
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
    VMenu->setConnectionProbe(m_services.connectionProbe);
    const bool started = VMenu->Initialize();
    if (!started) {
        m_end = true;
        Timer_Read.start();
        return false;
    }
    setOnline(VMenu->Get_Online());
    if (m_settings.Get_(CSettings::WindowMaximized) == u"1"_s || maximizedOnly()) {
        showMaximized();
    }
    Switch_FontSize();
    fillTree();
    Update_List();
    Show_Counter(VMenu->Get_Index(), VMenu->Get_ItemNum());
    if (screenReaderRunning()) {
        m_services.screenReaders->Block_SRVoice();
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

// The window is in dialog state while a dialog is up: reading stops and the
// window's keys and mouse rest.
void MainForm::Open_Dlg()
{
    m_dialog_open = true;
    if (VMenu) {
        VMenu->Stop_Read();
    }
}

void MainForm::Close_Dlg()
{
    m_dialog_open = false;
    m_keys.setFastMove(false);
    activateWindow();
}

// Shows the dialog modally, or hands it to the tests' runner.
void MainForm::runModal(QDialog& dialog)
{
    if (m_services.dialogRunner) {
        m_services.dialogRunner(dialog);
    } else {
        dialog.exec();
    }
}

QString MainForm::runLineEditDialog(const QString& caption, const QString& prompt, const QString& text)
{
    Open_Dlg();
    LineEditDlg dialog(m_services.speech, m_services.sounds, VMenu ? &VMenu->helpMenu() : nullptr, this);
    dialog.Initialize(caption, prompt);
    dialog.setText(text);
    dialog.setTextBoxReader(m_services.textBox);
    dialog.setLowVision(m_settings.Get_(CSettings::LowVisionColors) == u"1"_s);
    runModal(dialog);
    Close_Dlg();
    return dialog.result();
}

QString MainForm::runFindDialog()
{
    Open_Dlg();
    FindDlg dialog(m_services.speech, VMenu ? &VMenu->helpMenu() : nullptr, this);
    dialog.setTextBoxReader(m_services.textBox);
    dialog.setLowVision(m_settings.Get_(CSettings::LowVisionColors) == u"1"_s);
    dialog.setFontSize(m_settings.getInt(CSettings::FontSize, 11));
    dialog.setScreenReaders(m_services.screenReaders);
    runModal(dialog);
    Close_Dlg();
    return dialog.result();
}

QString MainForm::migemoQuery(const QString& key)
{
    const Migemo& dictionary = migemo();
    return dictionary.isWorking() ? dictionary.query(key) : QString();
}

QString MainForm::Get_Url(bool& machibbs, bool& suretate) const
{
    machibbs = false;
    suretate = false;
    return VMenu ? VMenu->Get_Url(machibbs, suretate) : QString();
}

void MainForm::runWriteDialog()
{
    bool machibbs = false;
    bool suretate = false;
    const QString url = Get_Url(machibbs, suretate);
    if (url.isEmpty()) {
        return;
    }
    Open_Dlg();
    WriteDlg dialog(m_services.speech, m_services.sounds, VMenu ? &VMenu->helpMenu() : nullptr, m_settings,
                    VMenu ? &VMenu->http() : nullptr, this);
    dialog.setTextBoxReader(m_services.textBox);
    dialog.setLowVision(m_settings.Get_(CSettings::LowVisionColors) == u"1"_s);
    dialog.setScreenReaders(m_services.screenReaders);
    dialog.Initialize(url, machibbs, suretate);
    dialog.setFormStore(&m_store);
    runModal(dialog);
    Close_Dlg();
    if (dialog.postSucceeded() && VMenu) {
        VMenu->Reload(false);
    }
}

void MainForm::runEditModeViewer(const QString& text, qint32 caretPos)
{
    Open_Dlg();
    EditModeViewer viewer(m_services.speech, m_services.sounds, VMenu ? &VMenu->helpMenu() : nullptr, this);
    viewer.setText(text);
    viewer.Initialize(caretPos);
    viewer.setTextBoxReader(m_services.textBox);
    viewer.setLowVision(m_settings.Get_(CSettings::LowVisionColors) == u"1"_s);
    viewer.setFontSize(m_settings.getInt(CSettings::FontSize, 11));
    viewer.setScreenReaders(m_services.screenReaders);
    viewer.setFormStore(&m_store);
    runModal(viewer);
    Close_Dlg();
}

bool MainForm::screenReaderRunning() const
{
    return m_services.screenReaders && m_services.screenReaders->count() > 0;
}

void MainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!VMenu) {
        return;
    }
    // Written when it changes, not at every step of a resize: each write
    // rewrites the settings file.
    const QString maximized = isMaximized() ? u"1"_s : u"0"_s;
    if ((isMaximized() || (!isMinimized() && !maximizedOnly()))
        && m_settings.Get_(CSettings::WindowMaximized) != maximized) {
        m_settings.Set_(CSettings::WindowMaximized, maximized);
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
    // The mouse, too, once at the window, and never while a dialog is up.
    if (watched == windowHandle() && !m_dialog_open && handleMouse(event)) {
        return true;
    }
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
    if (event->type() == QEvent::WindowStateChange) {
        keepMaximized();
    }
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
