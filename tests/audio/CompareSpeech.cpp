// Compares a recording of speech with a reference rendering of the same
// markup (both raw signed 16-bit mono at the same rate, silence trimmed).
//
//   compare-speech CAPTURE.raw REFERENCE.raw MIN_PAUSE_MS
//   compare-speech --longest-pause CAPTURE.raw
//
// A recording through a sound server on a busy machine may lose or repeat a
// few milliseconds here and there, so the comparison is made in blocks of
// 20 ms: four in five of the capture's audible blocks must appear sample for
// sample in the reference, near where they are expected (a recording of other
// speech, or of the same without its pauses, matches about a third). The capture must also
// hold the reference's pauses: the same number of stretches of speech, and
// every silence between them at least MIN_PAUSE_MS long and within a tenth of
// the reference's. Exits 0 when both hold. With --longest-pause it prints the
// longest silence between two stretches of speech in milliseconds (0 for one
// stretch) and exits 0.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QFile>
#include <QList>

namespace {

constexpr int kRate = 22050;
constexpr int kBlock = kRate / 50;   // 20 ms
constexpr int kSearch = kRate / 10;  // blocks may sit 100 ms from where expected
constexpr int kQuiet = 30;           // below this a sample counts as silence
constexpr int kGap = kRate / 10;     // silences shorter than 100 ms are within speech

struct Run
{
    qsizetype begin = 0;
    qsizetype end = 0;  // one past the last audible sample
};

QList<qint16> readRaw(const char* path)
{
    QFile file(QString::fromLocal8Bit(path));
    QList<qint16> samples;
    if (!file.open(QIODevice::ReadOnly)) {
        return samples;
    }
    const QByteArray bytes = file.readAll();
    samples.resize(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * 2);
    return samples;
}

QList<Run> speechRuns(const QList<qint16>& s)
{
    QList<Run> runs;
    qsizetype last = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (std::abs(s.at(i)) <= kQuiet) {
            continue;
        }
        if (runs.isEmpty() || i - last > kGap) {
            runs.append({i, i + 1});
        }
        runs.last().end = i + 1;
        last = i;
    }
    return runs;
}

bool audible(const qint16* block)
{
    for (int i = 0; i < kBlock; ++i) {
        if (std::abs(block[i]) > kQuiet) {
            return true;
        }
    }
    return false;
}

// The share of audible capture blocks found in the reference near their place.
double matchedShare(const QList<qint16>& cap, const QList<qint16>& ref)
{
    // Start from the ends aligned: the recorder may lose the very beginning.
    qsizetype shift = ref.size() - cap.size();
    int audibleBlocks = 0;
    int matched = 0;
    for (qsizetype p = 0; p + kBlock <= cap.size(); p += kBlock) {
        const qint16* block = cap.constData() + p;
        if (!audible(block)) {
            continue;
        }
        ++audibleBlocks;
        // Until one block is placed, the whole reference is searched: either
        // end of the recording may be cut.
        const qsizetype search = matched == 0 ? ref.size() : kSearch;
        for (qsizetype d = 0; d <= search; ++d) {
            bool found = false;
            for (const qsizetype q : {p + shift + d, p + shift - d}) {
                if (q >= 0 && q + kBlock <= ref.size()
                    && std::memcmp(block, ref.constData() + q, kBlock * sizeof(qint16)) == 0) {
                    shift = q - p;
                    found = true;
                    break;
                }
            }
            if (found) {
                ++matched;
                break;
            }
        }
    }
    return audibleBlocks == 0 ? 0.0 : double(matched) / double(audibleBlocks);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--longest-pause") == 0) {
        const QList<Run> runs = speechRuns(readRaw(argv[2]));
        qsizetype longest = 0;
        for (qsizetype i = 1; i < runs.size(); ++i) {
            longest = std::max(longest, runs.at(i).begin - runs.at(i - 1).end);
        }
        std::printf("%lld\n", static_cast<long long>(longest * 1000 / kRate));
        return runs.isEmpty() ? 1 : 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: compare-speech CAPTURE.raw REFERENCE.raw MIN_PAUSE_MS\n");
        return 2;
    }
    const QList<qint16> cap = readRaw(argv[1]);
    const QList<qint16> ref = readRaw(argv[2]);
    const qsizetype minPause = qsizetype(std::atoi(argv[3])) * kRate / 1000;
    if (cap.isEmpty() || ref.isEmpty()) {
        std::printf("empty recording or reference\n");
        return 1;
    }

    const double share = matchedShare(cap, ref);
    const QList<Run> capRuns = speechRuns(cap);
    const QList<Run> refRuns = speechRuns(ref);
    std::printf("samples: capture %lld, reference %lld; blocks found in the reference: %.1f %%\n",
                static_cast<long long>(cap.size()), static_cast<long long>(ref.size()), share * 100.0);
    bool ok = share >= 0.8;
    std::printf("stretches of speech: capture %lld, reference %lld\n", static_cast<long long>(capRuns.size()),
                static_cast<long long>(refRuns.size()));
    if (capRuns.size() != refRuns.size()) {
        ok = false;
    } else {
        for (qsizetype i = 1; i < capRuns.size(); ++i) {
            const qsizetype capPause = capRuns.at(i).begin - capRuns.at(i - 1).end;
            const qsizetype refPause = refRuns.at(i).begin - refRuns.at(i - 1).end;
            std::printf("pause %lld: capture %lld ms, reference %lld ms\n", static_cast<long long>(i),
                        static_cast<long long>(capPause * 1000 / kRate),
                        static_cast<long long>(refPause * 1000 / kRate));
            if (capPause < minPause || std::abs(capPause - refPause) * 10 > refPause) {
                ok = false;
            }
        }
        if (minPause > 0 && capRuns.size() < 2) {
            ok = false;
        }
    }
    std::printf("%s\n", ok ? "same speech" : "different");
    return ok ? 0 : 1;
}
