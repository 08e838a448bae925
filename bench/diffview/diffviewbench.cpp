// diffview-bench LINES [RUNS]: writes two LINES-line files (random lines, 1% replaced at random
// places), then opens the comparison window on them RUNS times (default 3) and prints, as
// medians:
//   shown    from start() (the end of a fetch) until both panes have painted the first rows
//   scroll   one page down, both panes repainted, averaged over 200 pages
// and the peak resident memory of the process against the two files' size.
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
#include <vector>

#include <sys/resource.h>

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

qint64 writeLines(const QString &path, const std::vector<std::string> &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    std::string all;
    for (const std::string &line : lines)
        all += line + '\n';
    return file.write(all.data(), qint64(all.size()));
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
    std::mt19937_64 rng(1);
    std::vector<std::string> first;
    first.reserve(std::size_t(lines));
    for (long i = 0; i < lines; ++i)
        first.push_back(randomLine(rng));
    std::vector<std::string> second = first;
    std::uniform_int_distribution<long> where(0, lines - 1);
    for (long k = 0; k < lines / 100; ++k)
        second[std::size_t(where(rng))] = randomLine(rng);
    const QString path0 = dir.filePath(QStringLiteral("a.txt"));
    const QString path1 = dir.filePath(QStringLiteral("b.txt"));
    const qint64 bytes = writeLines(path0, first) + writeLines(path1, second);
    first = {};
    second = {};
    first.shrink_to_fit();
    second.shrink_to_fit();
    const long baseKb = peakKilobytes();

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
    std::printf("%ld lines, %.1f MB of files: shown %.0f ms, scroll a page %.2f ms, "
                "peak RSS %.1f MB (%.2fx the files; %.1f MB before the window), model %.1f MB\n",
                lines, double(bytes) / 1e6, median(shown), median(scroll), double(peakKb) / 1024,
                double(peakKb - baseKb) * 1024 / double(bytes), double(baseKb) / 1024,
                double(modelBytes) / 1e6);
    return 0;
}
