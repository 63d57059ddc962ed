#include "HelpMenu.h"

#include <optional>

#include <QFileInfo>
#include <QLoggingCategory>

#include "base/AppPaths.h"
#include "base/TextFile.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHelp, "yomimaru.help", QtWarningMsg)

namespace {

constexpr QStringView kCrLf = u"\r\n";
constexpr QStringView kEmptyLine = u"\r\n\r\n";
constexpr QChar kTopicMark = u'■';
constexpr QChar kSubtopicMark = u'●';

// Where each piece marked by `mark` begins (just after the mark), looking
// only at marks that open a line: a ● or ■ inside a sentence is text.
QList<qsizetype> markedStarts(QStringView text, QChar mark, qsizetype from, bool fromIsLineStart)
{
    QList<qsizetype> starts;
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] != mark) {
            continue;
        }
        const bool lineStart = (i == from) ? fromIsLineStart : text[i - 1] == u'\n';
        if (lineStart) {
            starts.append(i + 1);
        }
    }
    return starts;
}

// The title of a piece runs to its first empty line; nothing when there is
// none, which makes the whole file unusable.
std::optional<QString> titleOf(QStringView piece, qsizetype* end)
{
    const qsizetype pos = piece.indexOf(kEmptyLine);
    if (pos < 0) {
        return std::nullopt;
    }
    *end = pos;
    return piece.left(pos).toString();
}

}  // namespace

HelpMenu::HelpMenu(const QString& filePath)
    : m_filePath(filePath)
{}

HelpMenu::HelpMenu(const AppPaths& paths)
    : m_filePath(paths.findResource(kFileName.toString()))
{}

void HelpMenu::clear()
{
    m_topics.clear();
    m_menuHelpTopic = 0;
    m_dialogHelpTopic = 0;
}

bool HelpMenu::Initialize()
{
    clear();
    const QFileInfo info(m_filePath);
    if (m_filePath.isEmpty() || !info.isFile()) {
        qCInfo(lcHelp) << "no help file at" << m_filePath;
        return false;
    }
    if (info.size() > kMaxFileSize) {
        qCInfo(lcHelp) << "help file too large:" << info.size();
        return false;
    }
    const std::optional<QStringList> lines = TextFile::readLines(m_filePath);
    if (!lines) {
        qCInfo(lcHelp) << "help file unreadable:" << m_filePath;
        return false;
    }
    return parseLines(*lines);
}

bool HelpMenu::parseLines(const QStringList& lines)
{
    clear();
    // Every line ends in CR LF here, whatever the file used; a lone CR (old
    // Mac files) also ends a line.
    QString all;
    for (const QString& line : lines) {
        for (QStringView part : QStringView(line).split(u'\r')) {
            all += part;
            all += kCrLf;
        }
    }
    const QStringView text(all);

    const QList<qsizetype> topicStarts = markedStarts(text, kTopicMark, 0, true);
    for (qsizetype t = 0; t < topicStarts.size(); ++t) {
        const qsizetype begin = topicStarts[t];
        const qsizetype end = (t + 1 < topicStarts.size()) ? topicStarts[t + 1] - 1 : text.size();
        const QStringView piece = text.sliced(begin, end - begin);

        qsizetype titleEnd = 0;
        const std::optional<QString> title = titleOf(piece, &titleEnd);
        if (!title) {
            qCInfo(lcHelp) << "topic title without an empty line after it:" << piece.left(40);
            clear();
            return false;
        }
        if (m_topics.size() >= kMaxEntries) {
            qCInfo(lcHelp) << "too many topics; the rest is dropped";
            break;
        }
        Topic topic;
        topic.title = *title;

        const QList<qsizetype> subStarts = markedStarts(piece, kSubtopicMark, 0, false);
        for (qsizetype s = 0; s < subStarts.size(); ++s) {
            const qsizetype subBegin = subStarts[s];
            const qsizetype subEnd = (s + 1 < subStarts.size()) ? subStarts[s + 1] - 1 : piece.size();
            const QStringView sub = piece.sliced(subBegin, subEnd - subBegin);

            qsizetype subTitleEnd = 0;
            const std::optional<QString> subTitle = titleOf(sub, &subTitleEnd);
            if (!subTitle) {
                qCInfo(lcHelp) << "subtopic title without an empty line after it:" << sub.left(40);
                clear();
                return false;
            }
            if (topic.subtopics.size() >= kMaxEntries) {
                qCInfo(lcHelp) << "too many subtopics in" << topic.title;
                break;
            }
            // The text keeps the line break of the empty line that ends the
            // title, so it starts on a line of its own; blank lines at its
            // end are dropped.
            QStringView body = sub.sliced(subTitleEnd + kCrLf.size());
            while (body.endsWith(kCrLf)) {
                body.chop(kCrLf.size());
            }
            topic.subtopics.append(Subtopic{*subTitle, body.toString()});
        }

        m_topics.append(topic);
        const int index = int(m_topics.size());
        // A later topic of the same title replaces an earlier one.
        if (topic.title == kMenuHelpTopic) {
            m_menuHelpTopic = index;
        } else if (topic.title == kDialogHelpTopic) {
            m_dialogHelpTopic = index;
        }
    }
    return true;
}

const HelpMenu::Topic* HelpMenu::topic(int top_idx) const
{
    if (top_idx < 1 || top_idx > m_topics.size()) {
        return nullptr;
    }
    return &m_topics[top_idx - 1];
}

QString HelpMenu::Get_Top(int top_idx) const
{
    const Topic* t = topic(top_idx);
    return t ? t->title : QString();
}

QStringList HelpMenu::Get_Tops() const
{
    QStringList tops{QString()};
    for (const Topic& t : m_topics) {
        tops.append(t.title);
    }
    return tops;
}

QStringList HelpMenu::Get_Subs(int top_idx) const
{
    QStringList subs{QString()};
    if (const Topic* t = topic(top_idx)) {
        for (const Subtopic& s : t->subtopics) {
            subs.append(s.title);
        }
    }
    return subs;
}

QString HelpMenu::Get_Text(int top_idx, int sub_idx) const
{
    const Topic* t = topic(top_idx);
    if (!t || sub_idx < 1 || sub_idx > t->subtopics.size()) {
        return {};
    }
    return t->subtopics[sub_idx - 1].text;
}

QString HelpMenu::findText(int top_idx, QStringView title) const
{
    const Topic* t = topic(top_idx);
    if (!t) {
        return {};
    }
    for (const Subtopic& s : t->subtopics) {
        if (s.title == title) {
            return s.text;
        }
    }
    return {};
}

QString HelpMenu::Get_MenuHelp(const QString& menu_title) const
{
    return findText(m_menuHelpTopic, menu_title);
}

QString HelpMenu::Get_DlgHelp(const QString& name) const
{
    return findText(m_dialogHelpTopic, name);
}
