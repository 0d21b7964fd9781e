// Open of a parameter file through the window's command, with a long positive
// step list: 100,000 sizes (the most a file may hold; the page lays the text
// out wrapped) and 1,000,000 sizes (refused with a message). The window is
// shown, so the page's text is laid out as a user would see it.
#include "ExperimentFile.h"
#include "MainWindow.h"
#include "UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

namespace
{

// Answers the Open dialog with one file and counts the boxes shown.
class FixedAnswer : public UserDialogs
{
public:
    explicit FixedAnswer(QString path, int &boxes)
        : path(std::move(path))
        , boxes(boxes)
    {
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return path;
    }
    QString saveFileName(
        QWidget *, const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    void warning(QWidget *, const QString &, const QString &) override { ++boxes; }
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    SaveChoice askToSave(QWidget *, const QString &, const QString &) override { return SaveChoice::discard; }

private:
    QString path;
    int &boxes;
};

QString fileWithSteps(int sizes)
{
    const QString path = QDir::temp().filePath(QStringLiteral("quorvel-bench-%1-steps.txt").arg(sizes));
    QByteArray steps;
    steps.reserve(sizes * 4);
    for (int i = 0; i < sizes; ++i)
        steps += i ? ",0.1" : "0.1";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("Mu 0\nSigma: 1\nLapseRate: 0\nGuessRate: 0\nsStairNumber: 1\nsStairStartStates: 0\n"
                   "sStairAscending: 1\nsStairCorrectAnswers: 1\nsStairMaxInversions: 999999\n"
                   "sStairMaxTrials: 100\nsStairPositiveStep: "
            + steps
            + "\nsStairNegativeStep: 0.5\nsStairClampLower: -99999\nsStairClampUpper: 99999\n"
              "sStairMaxClampHits: 0\n");
    return path;
}

void BM_OpenLongStepList(benchmark::State &state)
{
    const QString path = fileWithSteps(static_cast<int>(state.range(0)));
    int boxes = 0;
    MainWindow window;
    window.setUserDialogs(std::make_unique<FixedAnswer>(path, boxes));
    window.show();
    QApplication::processEvents();
    QAction *open = window.findChild<QAction *>(QStringLiteral("actionOpenFile"));
    for (auto _ : state) {
        open->trigger();
        window.repaint(); // lays out and paints the page's text
        QApplication::processEvents();
    }
    state.counters["boxes_per_open"] = benchmark::Counter(boxes, benchmark::Counter::kAvgIterations);
    QFile::remove(path);
}
BENCHMARK(BM_OpenLongStepList)->Arg(maxPositiveStepCount)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
