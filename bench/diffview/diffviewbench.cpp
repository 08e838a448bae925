// diffview-bench LINES [RUNS]: writes two LINES-line files (random lines, 1% replaced at random
// places), then opens the comparison window on them RUNS times (default 3) and prints, as
// medians:
//   shown    from start() (the end of a fetch) until both panes have painted the first rows
//   scroll   one page down, both panes repainted, averaged over 200 pages
// and the peak resident memory of the process against the two files' size (the lines are
// made as they are written, so the files cost the bench no memory of its own).
// Goals: shown < 1 s for 100,000 lines and < 3 s for 1,000,000; scroll < 16 ms; memory
// within 3x the files.

#include <views/diff/czemdiffchildframe.h>
#include <views/diff/czemdiffview.h>
#include <views/diff/diffrowmodel.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string randomLine(std::mt19937_64 &rng)
{
    std::uniform_int_distribution<int> words(3, 9);
    std::uniform_int_distribution<int> wordLength(2, 8);
    std::uniform_int_distribution<int> letter(0, 25);
    std::string line;
    const int count = words(rng);
    for (int w = 0; w < count; ++w) {
        if (w > 0)
            line += (w % 4 == 0) ? '\t' : ' ';
        const int length = wordLength(rng);
        for (int k = 0; k < length; ++k)
            line += char('a' + letter(rng));
    }
    return line;
}

// Writes LINES random lines; `replaced` (sorted by line) swaps some for other lines. The lines
// are made as they are written, so that the bench's own data never weighs on the peak memory
// it measures: both files come from the same seed.
qint64 writeLines(const QString &path, long lines,
                  const std::vector<std::pair<long, std::string>> &replaced)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return -1;
    std::mt19937_64 rng(1);
    qint64 bytes = 0;
    auto next = replaced.begin();
    for (long i = 0; i < lines; ++i) {
        std::string line = randomLine(rng);
        if (next != replaced.end() && next->first == i) {
            line = next->second;
            while (next != replaced.end() && next->first == i)
                ++next;
        }
        line += '\n';
        bytes += qint64(std::fwrite(line.data(), 1, line.size(), file));
    }
    return std::fclose(file) == 0 ? bytes : -1;
}

// The resident memory now (the peak is a high-water mark: it never goes down).
long currentKilobytes()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: diffview-bench LINES [RUNS]\n", stderr);
        return 2;
    }
    const long lines = std::atol(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QTemporaryDir dir;
    // 1% of the lines replaced, at random places.
    std::mt19937_64 rng(2);
    std::uniform_int_distribution<long> where(0, lines - 1);
    std::vector<std::pair<long, std::string>> replaced;
    for (long k = 0; k < lines / 100; ++k)
        replaced.emplace_back(where(rng), randomLine(rng));
    std::stable_sort(replaced.begin(), replaced.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    const QString path0 = dir.filePath(QStringLiteral("a.txt"));
    const QString path1 = dir.filePath(QStringLiteral("b.txt"));
    const qint64 bytes = writeLines(path0, lines, {}) + writeLines(path1, lines, replaced);
    replaced = {};
    const long baseKb = currentKilobytes();

    views::ViewTexts texts;
    texts.text = [](int id) {
        return QString::number(id);
    };
    std::vector<double> shown;
    std::vector<double> scroll;
    std::size_t modelBytes = 0;
    for (int run = 0; run < runs; ++run) {
        views::CZemDiffChildFrame frame(texts);
        frame.resize(1200, 800);
        frame.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        QEventLoop loop;
        QObject::connect(&frame, &views::CZemDiffChildFrame::comparisonFinished, &loop,
                         &QEventLoop::quit);
        timer.start();
        frame.start(
            {path0, path1, QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("t"), {}});
        loop.exec();
        frame.leftPane()->viewport()->repaint();
        frame.rightPane()->viewport()->repaint();
        shown.push_back(double(timer.nsecsElapsed()) / 1e6);
        modelBytes = frame.model()->memoryBytes();

        constexpr int kPages = 200;
        timer.restart();
        for (int page = 0; page < kPages; ++page) {
            frame.leftPane()->verticalScrollBar()->triggerAction(
                QAbstractSlider::SliderPageStepAdd);
            frame.leftPane()->viewport()->repaint();
            frame.rightPane()->viewport()->repaint();
        }
        scroll.push_back(double(timer.nsecsElapsed()) / 1e6 / kPages);
        if (frame.rightPane()->topRow() != frame.leftPane()->topRow()) {
            std::fputs("the panes did not scroll together\n", stderr);
            return 1;
        }
    }
    const long peakKb = peakKilobytes();
    // The goal is on the whole process: peak RSS against the two files. What the window
    // added over the process before it opened is printed too.
    std::printf("%ld lines, %.1f MB of files: shown %.0f ms, scroll a page %.2f ms, "
                "peak RSS %.1f MB = %.2fx the files (the window %.1f MB over %.1f MB before "
                "it = %.2fx), model %.1f MB\n",
                lines, double(bytes) / 1e6, median(shown), median(scroll),
                double(peakKb) * 1024 / 1e6, double(peakKb) * 1024 / double(bytes),
                double(peakKb - baseKb) * 1024 / 1e6, double(baseKb) * 1024 / 1e6,
                double(peakKb - baseKb) * 1024 / double(bytes), double(modelBytes) / 1e6);
    return 0;
}
