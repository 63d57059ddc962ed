// The main window's displays: the item list, the category and board tree,
// the counters, the reading layout, colours and type size.

#include <QApplication>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

int digitCount(qint64 value)
{
    return int(QString::number(value).size());
}

}  // namespace

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

void MainForm::setFormState(int state)
{
    if (state == 2) {
        showMaximized();
    } else {
        showNormal();
    }
}
