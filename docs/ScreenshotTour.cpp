// Draws the README's pictures with the real window, offscreen: it opens an
// example experiment through the File menu, runs it, and grabs each tab; the
// graph also goes through the window's own PDF export. Any message box the
// window would show makes the tour fail, so a picture never shows an error.
//
//   quorvel_screenshots <experiment file> <output folder>
//
// writes simulator.png, analysis.png, comparison.png (the comparison of the
// staircases, every row), histogram.png (the estimates of every staircase),
// graph.png (every repetition), graph-median.png, graph.pdf, sweep.png (a
// sweep of the step size, target kept, from 0.25 to 2) and report.pdf (the
// report, the sweep included). The run is the first of the process, so it is
// the same every time, and the clock is fixed, so the pictures change only
// when the window does.

#include "MainWindow.h"
#include "UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

#include <qcustomplot.h>

#include <cstdio>
#include <cstdlib>

namespace
{

class TourDialogs : public UserDialogs
{
public:
    TourDialogs(QString experiment, QString pdf)
        : experiment(std::move(experiment))
        , pdf(std::move(pdf))
    {
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return experiment;
    }
    // The report goes beside the graph's PDF.
    QString saveFileName(
        QWidget *, const QString &caption, const QString &, const QString &, const QString &) override
    {
        return caption.startsWith(QLatin1String("Export report"))
            ? QFileInfo(pdf).dir().filePath(QStringLiteral("report.pdf"))
            : pdf;
    }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        std::fprintf(stderr, "quorvel_screenshots: the window showed \"%s\": %s\n", qPrintable(title),
            qPrintable(text));
        std::exit(1);
    }
    bool question(QWidget *parent, const QString &title, const QString &text) override
    {
        warning(parent, title, text);
        return false;
    }
    // The repetitions set before Open are not worth saving.
    SaveChoice askToSave(QWidget *, const QString &, const QString &) override { return SaveChoice::discard; }

private:
    QString experiment;
    QString pdf;
};

template <typename T> T &child(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "quorvel_screenshots: the window has no %s\n", name);
        std::exit(1);
    }
    return *found;
}

bool save(const QPixmap &picture, const QString &path)
{
    if (picture.save(path))
        return true;
    std::fprintf(stderr, "quorvel_screenshots: cannot write %s\n", qPrintable(path));
    return false;
}

bool save(QWidget &widget, const QString &path)
{
    QCoreApplication::processEvents();
    return save(widget.grab(), path);
}

// The table with every row and column in view, whatever room the tab's layout gives it: it is
// made as tall as its rows for the picture, and the picture ends where its columns do.
bool saveWholeTable(QTableView &table, const QString &path)
{
    const QSize before = table.minimumSize();
    const int frame = 2 * table.frameWidth();
    const QSize whole(table.verticalHeader()->width() + table.horizontalHeader()->length() + frame,
        table.horizontalHeader()->height() + table.verticalHeader()->length() + frame);
    table.setMinimumHeight(whole.height());
    QCoreApplication::processEvents();
    table.scrollToTop();
    const QPixmap picture = table.grab(QRect(QPoint(0, 0), whole.boundedTo(table.size())));
    table.setMinimumSize(before);
    QCoreApplication::processEvents();
    return save(picture, path);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvel_screenshots <experiment file> <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    MainWindow window;
    window.setUserDialogs(std::make_unique<TourDialogs>(
        QString::fromLocal8Bit(argv[1]), out.filePath(QStringLiteral("graph.pdf"))));
    window.setClock([] { return QTime(14, 3, 27); });
    window.show();
    window.resize(1200, 760);

    // Set first, so the file (which has no repetitions) leaves it and the title shows no change.
    child<QSpinBox>(window, "spinBoxSimRepetitions").setValue(40);
    child<QAction>(window, "actionOpenFile").trigger();
    child<QPushButton>(window, "buttonStart").click();
    const QDeadlineTimer deadline(60000);
    while (window.statusBar()->currentMessage() != QLatin1String("Data updated")) {
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "quorvel_screenshots: the run did not end within a minute\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }

    auto &tabs = child<QTabWidget>(window, "tabWidget");
    tabs.setCurrentIndex(0);
    if (!save(window, out.filePath(QStringLiteral("simulator.png"))))
        return 1;
    tabs.setCurrentIndex(1);
    if (!save(window, out.filePath(QStringLiteral("analysis.png"))))
        return 1;
    if (!saveWholeTable(child<QTableView>(window, "tableRepetitionStats"),
            out.filePath(QStringLiteral("comparison.png"))))
        return 1;
    child<QComboBox>(window, "comboBoxEstimatesStaircase").setCurrentIndex(0); // all staircases
    // At a size of its own: the tab's layout may leave it small.
    QCoreApplication::processEvents();
    if (!save(child<QCustomPlot>(window, "plotEstimates").toPixmap(640, 320),
            out.filePath(QStringLiteral("histogram.png"))))
        return 1;
    tabs.setCurrentIndex(2);
    child<QComboBox>(window, "comboBoxGraphRepetition").setCurrentIndex(1); // the median band
    child<QComboBox>(window, "comboBoxDrawStyle").setCurrentIndex(2); // circles
    child<QCheckBox>(window, "checkBox").setChecked(true); // the reference curve
    if (!save(window, out.filePath(QStringLiteral("graph-median.png"))))
        return 1;
    child<QComboBox>(window, "comboBoxGraphRepetition").setCurrentIndex(0); // every repetition
    child<QComboBox>(window, "comboBoxDrawStyle").setCurrentIndex(0);
    if (!save(window, out.filePath(QStringLiteral("graph.png"))))
        return 1;
    child<QAction>(window, "actionExport_graph_to_pdf").trigger();
    if (!QFileInfo::exists(out.filePath(QStringLiteral("graph.pdf"))))
        return 1;

    tabs.setCurrentIndex(3);
    child<QLineEdit>(window, "lineEditSweepValues").setText(QStringLiteral("0.25:2:0.25"));
    child<QSpinBox>(window, "spinBoxSweepRepetitions").setValue(300);
    child<QComboBox>(window, "comboBoxSweepMeasure").setCurrentIndex(4); // the sweat factor
    child<QPushButton>(window, "buttonSweepRun").click();
    while (window.statusBar()->currentMessage() != QLatin1String("Sweep done")) {
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "quorvel_screenshots: the sweep did not end within a minute\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    if (!save(window, out.filePath(QStringLiteral("sweep.png"))))
        return 1;
    // After the sweep, so the report has its pages too.
    child<QAction>(window, "actionExportReport").trigger();
    return QFileInfo::exists(out.filePath(QStringLiteral("report.pdf"))) ? 0 : 1;
}
