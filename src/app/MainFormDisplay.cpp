// The main window's displays: the item list, the category and board tree,
// the counters, the reading layout, colours and type size.

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

#include "app/FlowLayout.h"
#include "app/MainForm.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "speech/CMessageData.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

int digitCount(qint64 value)
{
    return int(QString::number(value).size());
}

void setColours(QWidget* w,
                QPalette::ColorRole textRole,
                const QColor& text,
                QPalette::ColorRole backRole,
                const QColor& back)
{
    QPalette p = w->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, textRole, text);
        p.setColor(group, backRole, back);
    }
    w->setPalette(p);
}

}  // namespace

void MainForm::setOnline(bool online)
{
    m_online = online;
    Label_Online->setText(online ? u"Online"_s : u"Offline"_s);
    applyStatusColours();
}

void MainForm::applyStatusColours()
{
    // Each label fills its own background, so the pair that is drawn is
    // the pair that is set.
    const DisplayColours& c = m_colours;
    for (QLabel* l : {Label_Sel, Label_Total, DigitalD_Read, DigitalD_Total}) {
        setColours(l, QPalette::WindowText, c.text, QPalette::Window, c.background);
    }
    if (m_online) {
        setColours(Label_Online, QPalette::WindowText, c.onlineText, QPalette::Window, c.onlineBackground);
    } else {
        setColours(Label_Online, QPalette::WindowText, c.offlineText, QPalette::Window, c.background);
    }
    for (const auto& [label, on] : {std::pair{Label_Speak, m_speaking}, {Label_Load, m_downloading}}) {
        setColours(label, QPalette::WindowText, on ? c.activeText : c.text, QPalette::Window,
                   on ? c.activeBackground : c.background);
    }
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
    const QBrush yellow(m_colours.treeCurrent);
    const QBrush yellowText(m_colours.treeCurrentText);
    const QBrush normal;
    for (int c = 0; c < TreeView_Board->topLevelItemCount(); ++c) {
        QTreeWidgetItem* node = TreeView_Board->topLevelItem(c);
        const bool current = c + 1 == cat;
        node->setSelected(current && board == 0);
        node->setBackground(0, current && board == 0 ? yellow : normal);
        node->setForeground(0, current && board == 0 ? yellowText : normal);
        node->setExpanded(current && board > 0);
        for (int b = 0; b < node->childCount(); ++b) {
            QTreeWidgetItem* child = node->child(b);
            const bool chosen = current && b + 1 == board;
            child->setSelected(chosen);
            child->setBackground(0, chosen ? yellow : normal);
            child->setForeground(0, chosen ? yellowText : normal);
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
    DigitalD_Read->setText(QString::number(index));
    DigitalD_Total->setText(QString::number(total));
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
    const bool downloading = ratio > 0.0;
    if (downloading != m_downloading) {
        m_downloading = downloading;
        applyStatusColours();
    }
    // The bar takes no room from the message box while nothing downloads.
    Label_ProgBar->setVisible(downloading);
    if (!downloading) {
        Label_ProgBar->setFixedWidth(0);
        return;
    }
    Label_ProgBar->setFixedWidth(int(Text_Msg->width() * qMin(ratio, 1.0)));
}

void MainForm::showMessageText(const QString& text)
{
    showText(text);
}

void MainForm::showText(const QString& text)
{
    m_shownText = text;
    m_unitStart = -1;
    m_unitLength = 0;
    Text_Msg->setExtraSelections({});
    Text_Msg->setPlainText(text);
}

void MainForm::followReadingUnit(bool force)
{
    if (!VMenu) {
        return;
    }
    qint32 start = 0;
    qint32 length = 0;
    if (VMenu->IsReading()) {
        const CMessageData& message = VMenu->messageData();
        if (message.Get_MessageCurrentNum() < 1) {
            return;
        }
        message.Get_OrgMessagePos(start, length);
    } else if (VMenu->IsHelpReading()) {
        // A help text is spoken whole: it is the unit.
        const QString help = VMenu->Get_Text();
        if (help != m_shownText) {
            showText(help);
        }
        length = qint32(help.size());
    } else {
        return;
    }
    if (!force && start == m_unitStart && length == m_unitLength) {
        return;
    }
    m_unitStart = start;
    m_unitLength = length;
    // The line breaks around a unit are not marked: the mark would run to
    // the end of the line before.
    const auto lineBreak = [this](qint32 i) {
        return i >= 0 && i < m_shownText.size() && (m_shownText.at(i) == u'\r' || m_shownText.at(i) == u'\n');
    };
    while (length > 0 && lineBreak(start)) {
        ++start;
        --length;
    }
    while (length > 0 && lineBreak(start + length - 1)) {
        --length;
    }
    QTextDocument* document = Text_Msg->document();
    const int last = qMax(0, document->characterCount() - 1);
    const int from = qMin(CMessageData::documentPosition(m_shownText, start), last);
    const int to = qMin(CMessageData::documentPosition(m_shownText, start + length), last);
    QTextEdit::ExtraSelection unit;
    unit.cursor = QTextCursor(document);
    unit.cursor.setPosition(from);
    unit.cursor.setPosition(to, QTextCursor::KeepAnchor);
    unit.format.setBackground(m_colours.selection);
    unit.format.setForeground(m_colours.selectionText);
    Text_Msg->setExtraSelections({unit});
    // The end first, then the beginning: a unit taller than the box shows
    // from its beginning.
    QTextCursor place(document);
    place.setPosition(to);
    Text_Msg->setTextCursor(place);
    Text_Msg->ensureCursorVisible();
    place.setPosition(from);
    Text_Msg->setTextCursor(place);
    Text_Msg->ensureCursorVisible();
}

int MainForm::Get_TextHeight() const
{
    return QFontMetrics(Text_Msg->font()).lineSpacing();
}

void MainForm::applyReadingLayout(bool reading)
{
    // While a message or a help text is read, the text takes the list's
    // place and the whole height beside the tree; otherwise it is one line
    // above the list.
    const int margins = Text_Msg->contentsMargins().top() + Text_Msg->contentsMargins().bottom()
                        + int(Text_Msg->document()->documentMargin() * 2) + 2 * Text_Msg->frameWidth();
    if (reading) {
        List_Select->hide();
        Text_Msg->setMinimumHeight(0);
        Text_Msg->setMaximumHeight(QWIDGETSIZE_MAX);
        m_grid->setRowStretch(0, 1);
        m_grid->setRowStretch(2, 0);
    } else {
        Text_Msg->setFixedHeight(Get_TextHeight() + margins);
        m_grid->setRowStretch(0, 0);
        m_grid->setRowStretch(2, 1);
        List_Select->show();
        const int index = VMenu ? VMenu->Get_Index() : 0;
        if (index > 0 && List_Select->count() >= index) {
            List_Select->setCurrentRow(index - 1);
        }
        Text_Msg->setExtraSelections({});
        m_unitStart = -1;
        m_unitLength = 0;
    }
    m_reading_layout = reading;
    // The new sizes now, so the text scrolls within the box it will have.
    m_statusFlow->invalidate();
    m_grid->invalidate();
    m_grid->activate();
    m_statusFlow->activate();
    if (reading) {
        followReadingUnit(true);
    }
}

void MainForm::Switch_FontSize()
{
    if (isMinimized()) {
        return;
    }
    QFont f = font();
    f.setPointSize(qBound(8, m_settings.getInt(CSettings::FontSize, 11), 72));
    // Every text of the window in the one size: the counters in the list's
    // type, the captions and indicators alike.
    for (QWidget* w : std::initializer_list<QWidget*>{TreeView_Board, List_Select, Text_Msg, Label_Sel,
                                                      Label_Total, DigitalD_Read, DigitalD_Total,
                                                      Label_Online, Label_Speak, Label_Load}) {
        w->setFont(f);
    }
    m_statusFlow->setSpacing(QFontMetrics(f).averageCharWidth());
    fitTreeWidth();
    applyReadingLayout(VMenu && (VMenu->IsReading() || VMenu->IsHelpReading()));
    if (maximizedOnly()) {
        keepMaximized();
    }
}

bool MainForm::maximizedOnly() const
{
    return m_settings.getInt(CSettings::FontSize, 11) > 27;
}

void MainForm::keepMaximized()
{
    // Large type does not fit a smaller window: whatever made the window
    // normal (the window manager, the user), it is maximized again. Not
    // while minimized, which the program does itself in the background.
    if (!maximizedOnly() || m_maximizePending) {
        return;
    }
    m_maximizePending = true;
    QTimer::singleShot(0, this, [this] {
        m_maximizePending = false;
        if (maximizedOnly() && isVisible() && !isMinimized() && !isMaximized() && !isFullScreen()) {
            showMaximized();
        }
    });
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
    m_colours = DisplayColours::of(lowVision);
    const DisplayColours& c = m_colours;
    // The selection colours belong to the whole program, as they did to the
    // whole desktop; they are given back at the end.
    QPalette app = QApplication::palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        app.setColor(group, QPalette::Highlight, c.selection);
        app.setColor(group, QPalette::HighlightedText, c.selectionText);
    }
    QApplication::setPalette(app);
    for (QWidget* w : std::initializer_list<QWidget*>{List_Select, Text_Msg, TreeView_Board}) {
        QPalette p = w->palette();
        // The tree's selection is its current category or board.
        const bool tree = w == TreeView_Board;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Base, c.background);
            p.setColor(group, QPalette::Window, c.background);
            p.setColor(group, QPalette::Text, c.text);
            p.setColor(group, QPalette::Highlight, tree ? c.treeCurrent : c.selection);
            p.setColor(group, QPalette::HighlightedText, tree ? c.treeCurrentText : c.selectionText);
        }
        w->setPalette(p);
    }
    for (QWidget* w : {Picture_Back, Picture_Status}) {
        setColours(w, QPalette::WindowText, c.text, QPalette::Window, c.background);
    }
    QPalette bar = Label_ProgBar->palette();
    bar.setColor(QPalette::Window, c.progress);
    Label_ProgBar->setPalette(bar);
    setOnline(VMenu ? VMenu->Get_Online() : m_online);
    // The current node in the new colours.
    m_tree_category = -1;
    m_tree_board = -1;
    Update_Tree();
    if (m_reading_layout) {
        followReadingUnit(true);
    }
}

void MainForm::setFormState(int state)
{
    if (state == 2) {
        showMaximized();
    } else {
        showNormal();
    }
}
