// The main window's keys and mouse: each key event goes to the
// KeyDispatcher and each button and wheel event to the MouseDispatcher, which
// decide what it asks for; here the voice menu is told to do it and the
// displays follow. The read-all run is driven from here as well.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QWheelEvent>

#include "app/MainForm.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

// How long (in reading ticks) a key press stands for the foreground.
constexpr int kKeyForegroundTicks = 10;

}  // namespace

void MainForm::handleKey(quint32 code, bool keyDown, bool ctrl, bool shift, bool alt)
{
    if (!VMenu || m_end) {
        return;
    }
    if (keyDown) {
        inputInFront();
    }
    m_keys.keyEvent(code, keyDown, {ctrl, shift, alt});
    wakeReadTick();
}

void MainForm::inputInFront()
{
    // A key or a click that reaches the window proves that the window is in
    // front, even before the desktop says so: its result must be heard. The
    // return announcement is left out, since the input's own answer follows.
    if (m_fg_state == 0 && !m_dialog_open) {
        m_fg_state = 1;
        m_keyForegroundTicks = kKeyForegroundTicks;
        m_services.speech->setInBackground(false);
        comeToFront();
    }
}

void MainForm::Timer_Mouse_Tick()
{
    m_keys.Timer_Mouse_Tick();
}

void MainForm::Timer_Number_Tick()
{
    m_keys.Timer_Number_Tick();
}

void MainForm::Timer_AllRead_Tick()
{
    if (VMenu) {
        m_readAll.Timer_AllRead_Tick();
    }
}

void MainForm::moveBy(int delta)
{
    Stop_HelpRead();
    Select_(delta);
    showCurrentItem();
}

void MainForm::Stop_HelpRead()
{
    VMenu->Stop_HelpRead();
}

void MainForm::Select_(int delta)
{
    VMenu->Select_(delta, false);
}

void MainForm::showCurrentItem()
{
    const int index = VMenu->Get_Index();
    if (index > 0 && List_Select->count() >= index) {
        List_Select->setCurrentRow(index - 1);
    }
    DigitalD_Read->setText(QString::number(index));
    Update_Tree();
}

QPoint MainForm::anchorPoint() const
{
    const QPoint tree = TreeView_Board->mapTo(this, QPoint(0, 0));
    return {tree.x() + TreeView_Board->width() + 2, height() / 2};
}

bool MainForm::handleMouse(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Wheel) {
        if (!VMenu || m_end) {
            return false;
        }
        auto* wheel = static_cast<QWheelEvent*>(event);
        followPointer(wheel->globalPosition().toPoint());
        if (const int rotation = wheel->angleDelta().y(); rotation != 0) {
            m_mouse.MouseWheel(rotation);
            wakeReadTick();
        }
        // The wheel moves the menu only; the list under the pointer must not
        // scroll its current line out of sight.
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
        && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove) {
        return false;
    }
    if (!VMenu || m_end) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    followPointer(mouse->globalPosition().toPoint());
    if (type == QEvent::MouseMove) {
        return false;
    }
    MouseButton button = MouseButton::Other;
    switch (mouse->button()) {
    case Qt::LeftButton:
        button = MouseButton::Left;
        break;
    case Qt::RightButton:
        button = MouseButton::Right;
        break;
    case Qt::MiddleButton:
        button = MouseButton::Middle;
        break;
    default:
        break;
    }
    if (type != QEvent::MouseButtonRelease) {
        inputInFront();
    }
    // A quick second press comes as a double click: for the queue it is
    // just another press.
    m_mouse.buttonEvent(button, type != QEvent::MouseButtonRelease);
    wakeReadTick();
    return false;
}

void MainForm::followPointer(const QPoint& global)
{
    if (isMaximized() || isMinimized() || isFullScreen()) {
        // The window stays; the list shows the current item, whatever a
        // click on it chose.
        const int index = VMenu->Get_Index();
        if (index > 0 && List_Select->count() >= index) {
            List_Select->setCurrentRow(index - 1);
        }
        return;
    }
    if (!canPlaceWindows()) {
        return;
    }
    const QPoint offset = global - mapToGlobal(anchorPoint());
    if (!offset.isNull()) {
        move(pos() + offset);
    }
}

bool MainForm::IsMenuFixed() const
{
    return VMenu->IsMenuFixed();
}

bool MainForm::IsReverse_LRKey() const
{
    return VMenu->IsReverse_LRKey();
}

bool MainForm::IsAllRead() const
{
    return VMenu->IsAllRead();
}

qint16 MainForm::Get_MenuNo() const
{
    return VMenu->Get_MenuNo();
}

int MainForm::Get_ItemNum() const
{
    return VMenu->Get_ItemNum();
}

void MainForm::perform(const KeyCommand& command)
{
    const bool backwards = command.amount != 0;
    switch (command.action) {
    case KeyAction::None:
    case KeyAction::QueueEnter:
    case KeyAction::QueueBack:
    case KeyAction::QueueHelp:
        break;
    case KeyAction::NextLink:
        VMenu->Jump_NextLink(backwards);
        break;
    case KeyAction::NextParagraph:
        VMenu->Jump_NextParagraph(backwards);
        break;
    case KeyAction::NextLine:
        VMenu->Jump_NextLine(backwards);
        break;
    case KeyAction::ScrollUp:
    case KeyAction::ScrollDown: {
        QKeyEvent press(QEvent::KeyPress,
                        command.action == KeyAction::ScrollUp ? Qt::Key_PageUp : Qt::Key_PageDown,
                        Qt::NoModifier);
        QApplication::sendEvent(Text_Msg, &press);
        break;
    }
    case KeyAction::GoFirst:
        VMenu->Go_First();
        break;
    case KeyAction::GoBottom:
        VMenu->Go_Bottom();
        break;
    case KeyAction::Move:
        moveBy(command.amount);
        break;
    case KeyAction::StartAllRead:
        m_readAll.start();
        break;
    case KeyAction::StopAllRead:
        m_readAll.stop();
        VMenu->Run_AllRead(-1);
        Update_List();
        break;
    case KeyAction::JumpBookmark:
        VMenu->JumpBookmark();
        break;
    case KeyAction::JumpItaBookmark:
        VMenu->JumpItaBookmark();
        break;
    case KeyAction::JumpCategory:
        VMenu->JumpCategory();
        break;
    case KeyAction::JumpConfig:
        VMenu->JumpConfig();
        break;
    case KeyAction::PitchMenu:
        VMenu->JumpAudioConfig(VoiceMenu::PitchMenu);
        break;
    case KeyAction::SpeedMenu:
        VMenu->JumpAudioConfig(VoiceMenu::SpeedMenu);
        break;
    case KeyAction::VolumeMenu:
        VMenu->JumpAudioConfig(VoiceMenu::VolumeMenu);
        break;
    case KeyAction::Clip:
        VMenu->Clip();
        break;
    case KeyAction::ClipTitleUrl:
        VMenu->Clip_TitleURL();
        break;
    case KeyAction::Delete:
        VMenu->Delete();
        break;
    case KeyAction::Find:
        VMenu->find();
        break;
    case KeyAction::ReadAllInfo:
        VMenu->Read_AllInfo();
        break;
    case KeyAction::Reload:
        VMenu->Reload(false);
        break;
    case KeyAction::Exit:
        if (!VMenu->JumpExit()) {
            m_end = true;
        }
        break;
    case KeyAction::Quit:
        quitNow();
        break;
    case KeyAction::MoveBookmark:
        if (VMenu->Move_BM(command.amount)) {
            Update_List();
        }
        break;
    case KeyAction::CreateThread:
        VMenu->Create_Thread();
        break;
    case KeyAction::WriteMessage:
        VMenu->Write_Message();
        break;
    case KeyAction::EditModeViewer:
        VMenu->Open_EditModeViewer();
        break;
    case KeyAction::FollowAnchor:
        VMenu->Follow_Anchor();
        break;
    case KeyAction::ReadReplies:
        VMenu->Read_Replies();
        break;
    case KeyAction::ReadSameId:
        VMenu->Read_SameId();
        break;
    case KeyAction::ReturnTrail:
        VMenu->Return_Trail();
        break;
    case KeyAction::NgId:
        VMenu->Toggle_NgId();
        break;
    case KeyAction::NgName:
        VMenu->Toggle_NgName();
        break;
    case KeyAction::ThreadOrder:
        VMenu->Switch_ThreadOrder();
        break;
    }
}

void MainForm::speakDigit(int digit)
{
    m_services.speech->SpeakText(QString::number(digit));
}

void MainForm::runQueued(QueuedCommand command)
{
    switch (command) {
    case QueuedCommand::Entry:
        if (!VMenu->Entry()) {
            m_end = true;
        }
        break;
    case QueuedCommand::GoBack:
        m_services.speech->StopSpeech();
        VMenu->GoBack();
        break;
    case QueuedCommand::GoMain:
        m_services.speech->StopSpeech();
        VMenu->GoMain();
        break;
    case QueuedCommand::Special:
        VMenu->Special();
        break;
    case QueuedCommand::Help:
        VMenu->Help();
        break;
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

void MainForm::jumpToNumber(qint32 number)
{
    VMenu->Select_(number - VMenu->Get_Index(), false);
    Update_List();
}

void MainForm::showCounter()
{
    Show_Counter(VMenu->Get_Index(), VMenu->Get_ItemNum());
}

int MainForm::Get_Index() const
{
    return VMenu->Get_Index();
}

bool MainForm::speechDone() const
{
    return m_services.speech && m_services.speech->speechDone();
}

bool MainForm::Have_Message() const
{
    return VMenu->threadData().Have_Message();
}

bool MainForm::IsReadable() const
{
    return VMenu->IsReadable();
}

qint32 MainForm::Run_AllRead(qint32 read_no)
{
    return VMenu->Run_AllRead(read_no);
}

void MainForm::Stop_AllRead()
{
    VMenu->Stop_AllRead();
}

void MainForm::showNextBookmark()
{
    Update_List();
    Update_Tree();
}

void MainForm::openBookmark()
{
    VMenu->Entry();
    afterNavigation();
}

void MainForm::showPlainTitle()
{
    setWindowTitle(applicationTitle());
}
