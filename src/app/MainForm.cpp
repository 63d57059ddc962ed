#include "MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QResizeEvent>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/CFormState.h"
#include "app/KeyCodes.h"
#include "app/WidgetFormWindow.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "dialogs/LineEditDlg.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/MenuNames.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

// Action codes of the queue.
constexpr qint16 kActionEnter = 1;
constexpr qint16 kActionBack = 2;
constexpr qint16 kActionHelp = 4;
constexpr int kMaxActions = 6;
// How long (in reading ticks) a key press stands for the foreground.
constexpr int kKeyForegroundTicks = 10;

int digitCount(qint64 value)
{
    return int(QString::number(value).size());
}

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
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(applicationTitle());
    buildUi();

    Timer_Read.setObjectName(u"Timer_Read"_s);
    Timer_Read.setInterval(100);
    Timer_AllRead.setObjectName(u"Timer_AllRead"_s);
    Timer_AllRead.setInterval(100);
    Timer_Number.setObjectName(u"Timer_Number"_s);
    Timer_Number.setInterval(400);
    Timer_Mouse.setObjectName(u"Timer_Mouse"_s);
    Timer_Mouse.setInterval(250);
    Timer_SRV_Block.setObjectName(u"Timer_SRV_Block"_s);
    Timer_SRV_Block.setInterval(10);
    connect(&Timer_Read, &QTimer::timeout, this, &MainForm::Timer_Read_Tick);
    connect(&Timer_AllRead, &QTimer::timeout, this, &MainForm::Timer_AllRead_Tick);
    connect(&Timer_Number, &QTimer::timeout, this, &MainForm::Timer_Number_Tick);
    connect(&Timer_Mouse, &QTimer::timeout, this, &MainForm::Timer_Mouse_Tick);
    connect(&Timer_SRV_Block, &QTimer::timeout, this, [this] {
        if (m_services.screenReaders) {
            m_services.screenReaders->Block_SRVoice();
        }
    });
    if (m_services.speech) {
        connect(m_services.speech, &SpeechOutput::speechStarted, this,
                [this] { Label_Speak->setStyleSheet(u"color: rgb(0, 255, 0);"_s); });
        connect(m_services.speech, &SpeechOutput::speechFinished, this,
                [this] { Label_Speak->setStyleSheet({}); });
    }
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
    // Without a working dictionary the search matches the typed text literally.
    m_migemo = m_migemoDictionary.open(Migemo::dictionaryFor(m_paths.dataRoot()));
    Timer_SRV_Block.start();
    Timer_Read.start();
    if (isActiveWindow() || QGuiApplication::platformName() == u"offscreen"_s) {
        qApp->installEventFilter(this);
        m_filterInstalled = true;
    }
    return true;
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

QString MainForm::listLine(int i, int n, const QString& text)
{
    // Numbers are right-aligned and keep at least two columns, so a menu of
    // nine items starts its lines with two blanks, as one of twelve does.
    const int d = n > 0 ? qMax(digitCount(n) - 1, 1) : 0;
    const int spaces = d - digitCount(i) + 2;
    return QString(qMax(spaces, 1), u' ') + QString::number(i) + u'.' + QChar(0x3000) + text;
}

void MainForm::Update_List()
{
    if (!VMenu) {
        return;
    }
    const int n = VMenu->Get_ItemNum();
    QStringList lines;
    for (int i = 1;; ++i) {
        const QString item = VMenu->Get_Item(i);
        if (item.isEmpty()) {
            break;
        }
        lines.append(listLine(i, n, item));
    }
    List_Select->clear();
    List_Select->addItems(lines);
    const int index = VMenu->Get_Index();
    if (index > 0 && List_Select->count() >= index) {
        List_Select->setCurrentRow(index - 1);
    }
    Show_Counter(index, n);
}

void MainForm::fillTree()
{
    TreeView_Board->clear();
    const BoardList& boards = VMenu->boardList();
    for (int c = 1; c <= boards.Get_CategoryNum(); ++c) {
        auto* category = new QTreeWidgetItem(TreeView_Board, {boards.Get_Category(c)});
        category->setData(0, Qt::UserRole, u"c"_s + QString::number(c));
        for (int b = 1; b <= boards.Get_BoardNum(c); ++b) {
            auto* board = new QTreeWidgetItem(category, {boards.Get_BoardName(c, b)});
            board->setData(0, Qt::UserRole, u"b"_s + QString::number(c) + u'_' + QString::number(b));
        }
    }
    m_tree_category = -1;
    m_tree_board = -1;
    fitTreeWidth();
    Update_Tree();
}

void MainForm::Update_Tree()
{
    if (!VMenu) {
        return;
    }
    const int cat = VMenu->Get_CategoryIdx();
    const int board = VMenu->Get_BoardIdx();
    if (cat == m_tree_category && board == m_tree_board) {
        return;
    }
    const QBrush yellow(QColor(255, 255, 0));
    const QBrush normal;
    for (int c = 0; c < TreeView_Board->topLevelItemCount(); ++c) {
        QTreeWidgetItem* node = TreeView_Board->topLevelItem(c);
        const bool current = c + 1 == cat;
        node->setSelected(current && board == 0);
        node->setBackground(0, current && board == 0 ? yellow : normal);
        node->setExpanded(current && board > 0);
        for (int b = 0; b < node->childCount(); ++b) {
            QTreeWidgetItem* child = node->child(b);
            const bool chosen = current && b + 1 == board;
            child->setSelected(chosen);
            child->setBackground(0, chosen ? yellow : normal);
        }
        if (current) {
            TreeView_Board->scrollToItem(node);
        }
    }
    m_tree_category = cat;
    m_tree_board = board;
}

void MainForm::Show_Counter(int index, int total)
{
    DigitalD_Read->display(index);
    DigitalD_Total->display(total);
    const bool reading = VMenu && VMenu->IsReadable();
    Label_Sel->setText(reading ? u"読上"_s : u"選択"_s);
    Label_Total->setText(reading ? u"DL済"_s : u"ﾄｰﾀﾙ"_s);
}

void MainForm::selectListRow(int row)
{
    if (row >= 0 && row < List_Select->count()) {
        List_Select->setCurrentRow(row);
    }
}

void MainForm::setProgress(double ratio)
{
    if (ratio <= 0.0) {
        Label_Load->setStyleSheet({});
        Label_ProgBar->setFixedWidth(0);
        return;
    }
    Label_Load->setStyleSheet(u"color: rgb(0, 255, 0);"_s);
    Label_ProgBar->setFixedWidth(int(Text_Msg->width() * qMin(ratio, 1.0)));
}

void MainForm::showMessageText(const QString& text)
{
    Text_Msg->setPlainText(text);
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
    m_fast_move = false;
    activateWindow();
    return dialog.result();
}

int MainForm::Get_TextHeight() const
{
    return QFontMetrics(Text_Msg->font()).lineSpacing();
}

void MainForm::applyReadingLayout(bool reading)
{
    // While a message or a help text is read, the text takes the list's
    // place; otherwise it is one line above the list.
    const int margins = Text_Msg->contentsMargins().top() + Text_Msg->contentsMargins().bottom()
                        + int(Text_Msg->document()->documentMargin() * 2) + 2 * Text_Msg->frameWidth();
    if (reading) {
        List_Select->hide();
        Text_Msg->setMinimumHeight(0);
        Text_Msg->setMaximumHeight(QWIDGETSIZE_MAX);
    } else {
        Text_Msg->setFixedHeight(Get_TextHeight() + margins);
        List_Select->show();
        const int index = VMenu ? VMenu->Get_Index() : 0;
        if (index > 0 && List_Select->count() >= index) {
            List_Select->setCurrentRow(index - 1);
        }
    }
    m_reading_layout = reading;
}

void MainForm::Switch_FontSize()
{
    if (isMinimized()) {
        return;
    }
    QFont f = font();
    f.setPointSize(qBound(8, m_settings.getInt(CSettings::FontSize, 11), 72));
    for (QWidget* w : std::initializer_list<QWidget*>{TreeView_Board, List_Select, Text_Msg}) {
        w->setFont(f);
    }
    fitTreeWidth();
    applyReadingLayout(VMenu && (VMenu->IsReading() || VMenu->IsHelpReading()));
}

void MainForm::fitTreeWidth()
{
    // Wide enough for the longest category or board name, within two fifths
    // of the window, so large type is not cut off.
    const QFontMetrics metrics(TreeView_Board->font());
    int widest = metrics.horizontalAdvance(u"カテゴリー"_s);
    for (int c = 0; c < TreeView_Board->topLevelItemCount(); ++c) {
        const QTreeWidgetItem* node = TreeView_Board->topLevelItem(c);
        widest = qMax(widest, metrics.horizontalAdvance(node->text(0)));
        for (int b = 0; b < node->childCount(); ++b) {
            widest = qMax(widest,
                          metrics.horizontalAdvance(node->child(b)->text(0)) + TreeView_Board->indentation());
        }
    }
    const int wanted = widest + TreeView_Board->indentation() + 4 * TreeView_Board->frameWidth() + 16;
    TreeView_Board->setFixedWidth(qBound(width() / 5, wanted, width() * 2 / 5));
}

void MainForm::Switch_Color()
{
    const bool lowVision = m_settings.Get_(CSettings::LowVisionColors) == u"1"_s;
    const QColor selection = lowVision ? QColor(0, 0, 255) : QColor(192, 240, 255);
    const QColor selectionText = lowVision ? QColor(255, 255, 0) : QColor(0, 0, 0);
    const QColor background = lowVision ? QColor(0, 0, 128) : QColor(255, 255, 255);
    const QColor text = lowVision ? QColor(255, 255, 255) : QColor(0, 0, 0);
    // The selection colours belong to the whole program, as they did to the
    // whole desktop; they are given back at the end.
    QPalette app = QApplication::palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        app.setColor(group, QPalette::Highlight, selection);
        app.setColor(group, QPalette::HighlightedText, selectionText);
    }
    QApplication::setPalette(app);
    for (QWidget* w : std::initializer_list<QWidget*>{List_Select, Text_Msg}) {
        QPalette p = w->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Base, background);
            p.setColor(group, QPalette::Text, text);
            p.setColor(group, QPalette::Highlight, selection);
            p.setColor(group, QPalette::HighlightedText, selectionText);
        }
        w->setPalette(p);
    }
    QPalette back = Picture_Back->palette();
    back.setColor(QPalette::Window, background);
    back.setColor(QPalette::WindowText, text);
    Picture_Back->setPalette(back);
    setOnline(VMenu ? VMenu->Get_Online() : true);
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

void MainForm::setFormState(int state)
{
    if (state == 2) {
        showMaximized();
    } else {
        showNormal();
    }
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

void MainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && VMenu) {
        if (isActiveWindow() && !m_filterInstalled) {
            qApp->installEventFilter(this);
            m_filterInstalled = true;
        } else if (!isActiveWindow() && m_filterInstalled
                   && QGuiApplication::platformName() != u"offscreen"_s) {
            qApp->removeEventFilter(this);
            m_filterInstalled = false;
        }
    }
    QWidget::changeEvent(event);
}

void MainForm::queueAction(qint16 action)
{
    if (m_actions.size() < kMaxActions) {
        m_actions.append(action);
    }
    Timer_Mouse.start();
}

void MainForm::moveBy(int delta)
{
    VMenu->Stop_HelpRead();
    VMenu->Select_(delta, false);
    const int index = VMenu->Get_Index();
    if (index > 0 && List_Select->count() >= index) {
        List_Select->setCurrentRow(index - 1);
    }
    DigitalD_Read->display(index);
    Update_Tree();
}

void MainForm::handleKey(quint32 code, bool keyDown, bool ctrl, bool shift, bool alt)
{
    if (!VMenu) {
        return;
    }
    if (m_end) {
        // Ending: the farewell is said once, and nothing may start now.
        return;
    }
    const bool fixed = VMenu->IsMenuFixed();
    if (!keyDown) {
        if (fixed) {
            return;
        }
        const bool digit = (code >= 48 && code <= 57) || (code >= 96 && code <= 105);
        if (!m_busy) {
            m_busy = true;
            if (digit) {
                const bool complete = digitCount(m_number) == digitCount(VMenu->Get_ItemNum());
                Timer_Number.stop();
                Timer_Number.setInterval(complete ? 1 : 400);
                Timer_Number.start();
            }
            if (code == 112) {
                m_fast_move = false;
            }
            m_busy = false;
            if (!digit) {
                m_number = 0;
            }
        }
        Show_Counter(VMenu->Get_Index(), VMenu->Get_ItemNum());
        return;
    }
    // A key that reaches the window proves that the window is in front, even
    // before the desktop says so: its result must be heard. The return
    // announcement is left out, since the key's own answer follows.
    if (m_fg_state == 0 && !m_dialog_open) {
        m_fg_state = 1;
        m_keyForegroundTicks = kKeyForegroundTicks;
        m_services.speech->setInBackground(false);
        comeToFront();
    }
    if (fixed) {
        // Only the quit key acts while a download holds the menu; every
        // other key is dropped, not kept for later.
        if (code == 'Q' && ctrl && shift) {
            quitNow();
        }
        return;
    }
    const bool reverse = VMenu->IsReverse_LRKey();
    if ((code >= 48 && code <= 57) || (code >= 96 && code <= 105)) {
        const int digit = int(code >= 96 ? code - 96 : code - 48);
        if (m_number < 100000000) {
            m_number = m_number * 10 + digit;
        }
        m_services.speech->SpeakText(QString::number(digit));
        return;
    }
    switch (code) {
    case 9:
        VMenu->Jump_NextLink(shift);
        break;
    case 13:
        queueAction(kActionEnter);
        break;
    case 39:
    case 'L':
        queueAction(reverse ? kActionBack : kActionEnter);
        break;
    case 27:
        queueAction(kActionBack);
        break;
    case 37:
    case 'H':
        queueAction(reverse ? kActionEnter : kActionBack);
        break;
    case 32:
        if (!ctrl && !alt) {
            VMenu->Jump_NextParagraph(shift);
        }
        break;
    case 33:
    case 34: {
        QKeyEvent press(QEvent::KeyPress, code == 33 ? Qt::Key_PageUp : Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(Text_Msg, &press);
        break;
    }
    case 35:
        VMenu->Go_Bottom();
        break;
    case 36:
        VMenu->Go_First();
        break;
    case 'G':
        if (shift) {
            VMenu->Go_Bottom();
        } else {
            VMenu->Go_First();
        }
        break;
    case 38:
    case 'K':
        if (alt) {
            VMenu->Jump_NextLine(true);
        } else {
            moveBy(ctrl || m_fast_move ? -100 : (shift ? -10 : -1));
        }
        break;
    case 40:
    case 'J':
        if (alt) {
            VMenu->Jump_NextLine(false);
        } else {
            moveBy(ctrl || m_fast_move ? 100 : (shift ? 10 : 1));
        }
        break;
    case 'A':
        if (VMenu->IsAllRead()) {
            Timer_AllRead.stop();
            VMenu->Run_AllRead(-1);
            Update_List();
        } else {
            Timer_AllRead.start();
        }
        break;
    case 'B':
        VMenu->JumpBookmark();
        break;
    case 'C':
        if (ctrl) {
            VMenu->Clip();
        } else {
            VMenu->JumpCategory();
        }
        break;
    case 'D':
        VMenu->Delete();
        break;
    case 'I':
        if (ctrl && !alt && !shift) {
            VMenu->Read_AllInfo();
        } else {
            VMenu->JumpItaBookmark();
        }
        break;
    case 'O':
        VMenu->JumpConfig();
        break;
    case 'P':
        VMenu->JumpAudioConfig(VoiceMenu::PitchMenu);
        break;
    case 'Q':
        if (ctrl && shift) {
            quitNow();
        } else if (!VMenu->JumpExit()) {
            m_end = true;
        }
        break;
    case 'R':
        VMenu->Reload(false);
        break;
    case 'S':
        VMenu->JumpAudioConfig(VoiceMenu::SpeedMenu);
        break;
    case 'T':
        if (VMenu->Get_MenuNo() == VoiceMenu::ReadingMenu) {
            VMenu->Jump_NextParagraph(shift);
        }
        break;
    case 'U':
        if (!ctrl && !alt && !shift) {
            VMenu->Clip_TitleURL();
        }
        break;
    case 'V':
        VMenu->JumpAudioConfig(VoiceMenu::VolumeMenu);
        break;
    case 107:
    case 109: {
        const int amount = ctrl ? 100 : (shift ? 10 : 1);
        if (VMenu->Move_BM(code == 107 ? amount : -amount)) {
            Update_List();
        }
        break;
    }
    case 112:
        m_fast_move = true;
        queueAction(kActionHelp);
        break;
    default:
        break;
    }
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

void MainForm::afterNavigation()
{
    Update_Tree();
    Update_List();
    Show_Counter(VMenu->Get_Index(), VMenu->Get_ItemNum());
    const QString thread = VMenu->Get_ThreadName();
    setWindowTitle(thread.isEmpty() ? applicationTitle() : applicationTitle() + u"     "_s + thread);
}

void MainForm::Timer_Mouse_Tick()
{
    Timer_Mouse.stop();
    if (m_end) {
        // The farewell has been said; an Enter pressed while it plays must
        // not say it again.
        m_actions.clear();
        return;
    }
    if (!m_busy && VMenu && !m_actions.isEmpty()) {
        m_busy = true;
        const qint16 action = m_actions.first();
        bool navigated = false;
        if (m_actions.size() >= 2 && m_actions.at(1) == action) {
            if (action == kActionEnter) {
                VMenu->Special();
            } else if (action == kActionBack) {
                m_services.speech->StopSpeech();
                VMenu->GoMain();
                navigated = true;
            }
        } else if (action == kActionEnter) {
            if (!VMenu->Entry()) {
                m_end = true;
            }
            navigated = true;
        } else if (action == kActionBack) {
            m_services.speech->StopSpeech();
            VMenu->GoBack();
            navigated = true;
        } else if (action == kActionHelp) {
            VMenu->Help();
        }
        m_busy = false;
        if (navigated) {
            afterNavigation();
        }
    }
    m_actions.clear();
}

void MainForm::Timer_Number_Tick()
{
    Timer_Number.stop();
    if (m_number > 0 && VMenu) {
        VMenu->Select_(m_number - VMenu->Get_Index(), false);
        Update_List();
        m_number = 0;
    }
}

void MainForm::Timer_Read_Tick()
{
    Timer_Read.stop();
    SpeechOutput* speech = m_services.speech;
    if (m_quit_now && !m_busy) {
        endProgram();
        return;
    }
    if (speech && speech->speechDone() && !m_busy) {
        m_busy = true;
        if (m_end) {
            endProgram();
            return;
        }
        if (VMenu) {
            VMenu->Read_Message(false);
        }
        // A save that failed while nothing was being said is told now.
        if (speech->speechDone()) {
            speech->SpeakNotices();
        }
        m_busy = false;
    }
    if (VMenu && VMenu->IsReadable()) {
        Show_Counter(VMenu->threadData().Get_MessageCurrentNum(), VMenu->threadData().Get_MessageLoadedNum());
        const int index = VMenu->Get_Index();
        if (index > 0 && List_Select->count() >= index && List_Select->currentRow() != index - 1) {
            List_Select->setCurrentRow(index - 1);
        }
    }
    if (VMenu) {
        const bool reading = VMenu->IsReading() || VMenu->IsHelpReading();
        if (reading != m_reading_layout) {
            applyReadingLayout(reading);
        }
    }
    followForeground();
    if (VMenu) {
        VMenu->Update_Progress();
    }
    checkReadConv();
    if (speech && !speech->isEngineSpeaking() && !speech->speechDone()) {
        speech->handleSpeechFinished();
    }
    Timer_Read.start();
}

void MainForm::followForeground()
{
    if (!VMenu || !m_services.speech) {
        return;
    }
    bool active = m_services.isForeground ? m_services.isForeground()
                                          : QGuiApplication::applicationState() == Qt::ApplicationActive
                                                || QGuiApplication::platformName() == u"offscreen"_s;
    if (active) {
        m_keyForegroundTicks = 0;
    } else if (m_keyForegroundTicks > 0) {
        --m_keyForegroundTicks;
        active = true;
    }
    const qint16 state = active ? (m_dialog_open ? 2 : 1) : 0;
    m_services.speech->setInBackground(state == 0);
    if (state == 1) {
        m_wasActive = true;
    }
    if (state == 0 && m_fg_state != 0 && !m_dialog_open) {
        m_fast_move = false;
        VMenu->Stop_Read();
        // Out of the way while the user works elsewhere; not before the window
        // was ever in front, or it would vanish while the desktop is still
        // handing it the focus at start-up.
        if (m_wasActive) {
            showMinimized();
        }
    } else if (state == 1 && m_fg_state == 0) {
        comeToFront();
        m_services.speech->SpeakText(u"Yomimaru,"_s + MenuNames::name(VMenu->Get_MenuNo()) + u"メニュー"_s);
    }
    m_fg_state = state;
}

void MainForm::comeToFront()
{
    if (m_settings.Get_(CSettings::WindowMaximized) == u"1"_s) {
        showMaximized();
    } else {
        showNormal();
    }
    // The mouse rests beside the tree, where the wheel and buttons act.
    const QPoint anchor(TreeView_Board->geometry().right() + 2, height() / 2);
    QCursor::setPos(mapToGlobal(anchor));
}

void MainForm::checkReadConv()
{
    if (++m_readconv_ticks < 30 || !m_services.readconv) {
        return;
    }
    m_readconv_ticks = 0;
    const QFileInfo info(m_services.readconv->filePath());
    if (!info.exists()) {
        return;
    }
    const QDateTime stamp = info.lastModified();
    if (!m_readconv_stamp.isValid()) {
        m_readconv_stamp = stamp;
        return;
    }
    if (stamp != m_readconv_stamp) {
        m_readconv_stamp = stamp;
        m_services.readconv->InitInstance();
        m_services.speech->SpeakText(u"読み替え登録更新しました"_s);
    }
}

void MainForm::Timer_AllRead_Tick()
{
    Timer_AllRead.stop();
    if (!VMenu) {
        return;
    }
    const qint16 menu = VMenu->Get_MenuNo();
    const bool done = m_services.speech && m_services.speech->speechDone();
    bool again = true;
    switch (m_allread_state) {
    case 0:
        if (menu == VoiceMenu::BookmarkMenu || m_allread_pos != 0) {
            if (done) {
                m_allread_pos = VMenu->Run_AllRead(m_allread_pos);
                if (m_allread_pos != 0) {
                    Update_List();
                    Update_Tree();
                    m_allread_state = 1;
                } else {
                    again = false;
                }
            }
        } else {
            again = false;
        }
        break;
    case 1:
        if (menu != VoiceMenu::BookmarkMenu) {
            m_allread_state = 4;
        } else if (done) {
            m_allread_state = 2;
        }
        break;
    case 2:
        if (menu == VoiceMenu::BookmarkMenu) {
            m_allread_pos = VMenu->Get_Index();
            VMenu->Entry();
            afterNavigation();
            m_allread_state = 3;
        } else {
            m_allread_state = 4;
        }
        break;
    case 3:
        if (menu == VoiceMenu::BookmarkMenu) {
            m_allread_state = 0;
        } else if (menu == VoiceMenu::ReadingMenu) {
            if (done && !VMenu->threadData().Have_Message() && !VMenu->IsReadable()) {
                m_allread_state = 0;
            }
        } else {
            m_allread_state = 4;
        }
        break;
    default:
        break;
    }
    if (m_allread_state == 4) {
        m_allread_pos = 0;
        m_allread_state = 0;
        VMenu->Stop_AllRead();
        setWindowTitle(applicationTitle());
        again = false;
    }
    if (again) {
        Timer_AllRead.start();
    }
}

void MainForm::endProgram()
{
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
