// The text-box reader's work per key: what runs between a key and the text
// handed to the speech engine (the engine itself is a spy that records).
// The field is an in-memory one, so the figures are the reader's own.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "base/AppPaths.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "speech/CShosaiYomi.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "speech/TextBoxField.h"
#include "speech/mSpeakTextBox.h"
#include "support/SpySpeechEngine.h"

using namespace Qt::StringLiterals;

namespace {

class MemoryField : public TextBoxField
{
public:
    QString text() const override { return m_text; }

    int caretPosition() const override { return m_caret; }

    QString selectedText() const override { return {}; }

    int selectionStart() const override { return m_caret; }

    bool isReadOnly() const override { return false; }

    int limitText() const override { return 1 << 30; }

    int textHeight() const override { return 16; }

    int textWidth() const override { return 8; }

    QString clipboardText() const override { return m_clipboard; }

    void setClipboardText(const QString& text) override { m_clipboard = text; }

    void setCaretWidth(int) override {}

    void restoreCaret() override {}

    QString m_text;
    QString m_clipboard;
    int m_caret = 0;
};

struct Reader
{
    Reader()
        : store(dir.filePath(u"config"_s))
        , settings(store)
        , speech(engine, settings, readconv)
        , reader(speech, settings, yomi())
    {
        settings.InitInstance();
    }

    static const CShosaiYomi& yomi()
    {
        static const CShosaiYomi y = [] {
            AppPaths paths(u"/nonexistent"_s, QString());
            paths.setResourceDirs({QStringLiteral(YOMIMARU_RESOURCES_DIR)});
            CShosaiYomi loaded;
            loaded.InitInstance(paths);
            return loaded;
        }();
        return y;
    }

    QTemporaryDir dir;
    SettingsStore store;
    CSettings settings;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech;
    mSpeakTextBox reader;
};

// A posting of 100 lines of 40 characters.
QString posting()
{
    QString text;
    for (int line = 0; line < 100; ++line) {
        text += u"今日は良い天気です。ｶﾀｶﾅとABCも混ぜて、「括弧」と記号★を入れた行です"_s.left(40);
        text += u'\n';
    }
    return text;
}

void BM_LeftArrow(benchmark::State& state)
{
    Reader r;
    MemoryField field;
    field.m_text = posting();
    r.reader.Attach(&field);
    int caret = int(field.m_text.size()) / 2;
    for (auto _ : state) {
        field.m_caret = caret;
        r.reader.keyDown(Qt::Key_Left, Qt::NoModifier);
        field.m_caret = caret - 1;
        r.reader.keyUp(Qt::Key_Left, Qt::NoModifier);
        r.engine.clear();
        caret = caret > 2 ? caret - 1 : int(field.m_text.size()) - 1;
    }
}

BENCHMARK(BM_LeftArrow);

void BM_DownArrow(benchmark::State& state)
{
    Reader r;
    MemoryField field;
    field.m_text = posting();
    r.reader.Attach(&field);
    for (auto _ : state) {
        field.m_caret = 5;
        r.reader.keyDown(Qt::Key_Down, Qt::NoModifier);
        field.m_caret = 45;
        r.reader.keyUp(Qt::Key_Down, Qt::NoModifier);
        r.engine.clear();
    }
}

BENCHMARK(BM_DownArrow);

// Ctrl+0 and Ctrl+9 count every byte of the field.
void BM_CountLargeField(benchmark::State& state)
{
    Reader r;
    MemoryField field;
    field.m_text = posting().repeated(int(state.range(0)));
    r.reader.Attach(&field);
    for (auto _ : state) {
        r.reader.keyDown(Qt::Key_9, Qt::ControlModifier);
        r.reader.keyDown(Qt::Key_0, Qt::ControlModifier);
        r.engine.clear();
    }
    state.counters["chars"] = double(field.m_text.size());
}

BENCHMARK(BM_CountLargeField)->Arg(1)->Arg(256)->Unit(benchmark::kMicrosecond);

// A paste of 1 MB: counted, not read.
void BM_PasteMegabyte(benchmark::State& state)
{
    Reader r;
    MemoryField field;
    const QString big = posting().repeated(128).left(512 * 1024);
    r.reader.Attach(&field);
    for (auto _ : state) {
        field.m_text.clear();
        field.m_caret = 0;
        field.m_clipboard = big;
        r.reader.keyDown(Qt::Key_V, Qt::ControlModifier);
        field.m_text = big;
        field.m_caret = int(big.size());
        r.reader.keyUp(Qt::Key_V, Qt::ControlModifier);
        r.engine.clear();
    }
}

BENCHMARK(BM_PasteMegabyte)->Unit(benchmark::kMillisecond);

// A conversion: the target clause moves between two clauses.
void BM_Conversion(benchmark::State& state)
{
    Reader r;
    MemoryField field;
    r.reader.Attach(&field);
    CImeManager::Composition first{u"私は学生です"_s, {}, {{0, 2, true}, {2, 4, false}}, 0};
    CImeManager::Composition second{u"私は学生です"_s, {}, {{0, 2, false}, {2, 4, true}}, 2};
    bool flip = false;
    for (auto _ : state) {
        r.reader.imeComposition(flip ? first : second);
        flip = !flip;
        r.engine.clear();
    }
}

BENCHMARK(BM_Conversion);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
