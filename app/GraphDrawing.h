#pragma once
// Drawing of the Graph tab, from a run's result: each staircase v gets graph v
// (its levels, at full precision, against that staircase's own trial count),
// named after the staircase's ID as it was at Start; with the reference switched on, one
// more graph shows the observer's psychometric function sideways in a strip six
// trial units wide to the right of the tracks, keyed on the right axis (levels)
// with its values on the top axis.
//
// What graph v shows depends on the repetitions chosen: all of them (graph v
// holds the points, and a QCPCurve after the graphs draws every repetition as a
// line of its own), one repetition, or the median level at each trial count
// while enough repetitions still run; with the median, graphs staircaseCount + 2v and + 2v + 1
// hold the 25 % and 75 % levels, the band between them shaded, before the
// reference. A dashed line in the staircase's colour marks its target x*, and
// when markers are shown the reversal trials get a filled diamond (QCPCurve
// plottables after the graphs, so the graph numbers above stay as they are).
//
// The functions here work on a bare QCustomPlot and a result, so they are tested
// and benchmarked without the main window.

#include "StaircaseSettings.h"

#include <QColor>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>
#include <vector>

class QCustomPlot;
class RunResult;
class QFont;

namespace GraphDrawing
{

// Width of the reference curve's strip, in trial units.
constexpr double referenceStripWidth = 6.0;

enum class Repetitions { all, one, medianBand };

// Bytes drawing every repetition takes per trial at its peak: the points sorted
// by trial count and the repetitions' lines (16 bytes each), each copied once
// on its way into the plot and once held there (a line point holds 24 bytes).
constexpr std::uint64_t bytesPerTrialOfAllRepetitions = 3 * 16 + 16 + 2 * 24;

struct Settings {
    Settings() = default;
    Settings(int staircaseCount, int scatterStyle, bool showReference, const ObserverSettings &observer = {})
        : staircaseCount(staircaseCount)
        , scatterStyle(scatterStyle)
        , showReference(showReference)
        , observer(observer)
    {
    }

    int staircaseCount = 0;
    int scatterStyle = 0; // the plotting library's scatter-shape code: 0 none, 2 cross, 4 circle, 6 square
    bool showReference = false;
    ObserverSettings observer; // the reference curve's observer, which may differ from the run's
    Repetitions repetitions = Repetitions::all;
    int repetition = 0; // 0-based, with Repetitions::one
    // x* of staircase v, drawn as a dashed line; none where missing or empty.
    std::vector<std::optional<double>> targetLevels;
    // Drawn at the top left inside the plot: the run shown, as the results table's caption says it.
    QString caption;
};

// The ranges of the first view of a drawing.
struct View {
    double keyLower = 0.0;
    double keyUpper = 1.0;
    double levelLower = 0.0;
    double levelUpper = 1.0;
};

// The points of every staircase graph, ordered by key (equal keys keep trial order),
// plus the extremes over all trials used.
struct Tracks {
    QVector<QVector<double>> keys; // per staircase: its earlier trials in the repetition
    QVector<QVector<double>> values; // per staircase: the levels
    int rowsUsed = 0;
    int largestSteps = 0;
    double lowestLevel = 0.0;
    double highestLevel = 0.0;
};

// Colours of staircases 0 … 98: red, green, blue, magenta, cyan, dark red, dark green, dark blue,
// dark magenta, dark cyan, dark magenta, yellow, dark yellow, gray, dark gray, light gray, then
// further colours distinct from every earlier entry.
QVector<QColor> staircaseColors();

// Scatter-shape code for an item of the draw-style combo box ("None", "Cross", "Circles",
// "Squares"); any other index keeps `current`.
int scatterStyleForIndex(int index, int current);

// The trials of staircases 0 … staircaseCount-1, grouped by staircase, from all repetitions or
// only from `repetition` (0-based); a trial whose level is not a finite number is skipped.
Tracks collectTracks(const RunResult &result, int staircaseCount, int repetition = -1);

// Sample of the reference curve: x from μ-10σ in steps of σ/50 (a running sum) while x ≤ μ+10σ,
// value stripStart + 6·R(x), where R is the observer's function mirrored about μ.
void referenceCurve(
    const ObserverSettings &observer, double stripStart, QVector<double> &keys, QVector<double> &values);

// "Reference psychometric (μ ,σ)=(<μ>, <σ> )", numbers with 6 significant digits; when the curve
// is not that of the observer the run shown simulated, followed by " — not the simulated observer".
QString referenceName(const ObserverSettings &observer, bool simulated = true);

// One-time set-up: locale with "." decimals, antialiased markers, the legend (visible, the
// window's font at 9 points, inside at the bottom right, white at alpha 230).
void setupPlot(QCustomPlot &plot, const QFont &windowFont);

// Rebuilds the whole plot from the result (none: no tracks), redraws it and returns its first
// view: every point drawn and the targets with a margin of 5 % on every side and, with the
// reference, its strip. With a staircase
// count of 0 or less the plot is only emptied.
View draw(
    QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings);

// Empties the plot (a drawing that ran out of memory may have left it half
// filled) and shows `note` in its middle instead.
void showNotDrawn(QCustomPlot &plot, const QString &note);

// Brings the plot back to `view` (the axes the reference uses follow) and redraws it.
void showView(QCustomPlot &plot, const View &view);

} // namespace GraphDrawing
