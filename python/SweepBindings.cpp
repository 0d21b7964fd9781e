#include "Bindings.h"

#include "ExperimentLoading.h"
#include "RandomEngine.h"
#include "Sweep.h"

#include <atomic>
#include <chrono>
#include <optional>

namespace
{

using Clock = std::chrono::steady_clock;
// How often a sweep looks for Ctrl+C (the GIL is taken for that).
constexpr auto signalInterval = std::chrono::milliseconds(50);

// A value list as text ("0.5,1,2", "0.25:2:0.25") or a sequence of numbers,
// read by the engine either way (a sequence as the shortest texts of its numbers).
std::vector<double> sweepValues(const py::handle &values)
{
    std::string text;
    if (py::isinstance<py::str>(values)) {
        text = values.cast<std::string>();
    } else {
        for (const py::handle value : values)
            text += (text.empty() ? "" : ",")
                + py::repr(py::float_(py::reinterpret_borrow<py::object>(value))).cast<std::string>();
    }
    const Expected<std::vector<double>> parsed = parseSweepValues(text);
    if (!parsed)
        throw py::value_error(parsed.problem().message);
    return *parsed;
}

py::object sweep(const PythonExperiment &experiment, const std::string &parameter, const py::handle &values,
    const py::object &repetitionsGiven, const py::int_ &seedGiven, int lastReversals, bool exact,
    bool exactOnly)
{
    const std::optional<int> repetitions = repetitionsArgument(repetitionsGiven);
    const std::uint32_t seed = seedArgument(seedGiven);
    SweepRequest request;
    request.base = runRequestFor(describe(experiment));
    if (repetitions)
        request.base.repetitions = *repetitions;
    if (const std::optional<Problem> problem = runProblem(request.base))
        throw ExperimentError(problem->message);
    if (lastReversals < 1)
        throw py::value_error("last_reversals must be at least 1");
    request.lastReversals = lastReversals;
    request.seed = seed;
    Expected<SweepAxis> named = parseSweepAxis(parameter);
    if (!named)
        throw py::value_error("sweep " + named.problem().message);
    SweepAxis axis = *named;
    axis.values = sweepValues(values);
    request.axes.push_back(std::move(axis));
    const Expected<SweepPlan> planned = planSweep(request);
    if (!planned)
        throw py::value_error(planned.problem().message);
    const SweepPlan &plan = *planned;

    std::atomic<bool> cancel { false };
    std::optional<py::error_already_set> failure;
    Clock::time_point lastCheck = Clock::now();
    // Called from the sweep's threads one at a time; takes the GIL a few times a second for Ctrl+C.
    const auto check = [&] {
        const Clock::time_point now = Clock::now();
        if (now - lastCheck < signalInterval)
            return;
        lastCheck = now;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            failure.emplace();
            cancel = true;
        }
    };
    std::string text;
    {
        const py::gil_scoped_release released;
        ExactControl exactControl;
        exactControl.cancel = &cancel;
        exactControl.progress = [&](double) { check(); };
        SweepResult result = exactOnly ? exactSweep(request, plan, exactControl)
                                       : runSweep(
                                           request, plan, [&](const SweepProgress &) { check(); }, &cancel);
        if (result.complete && exact && !exactOnly)
            result.complete = addExactRuns(result, exactControl);
        if (result.complete)
            text = sweepStatsText(result);
    }
    if (failure)
        throw *failure; // KeyboardInterrupt
    const py::module_ pandas = py::module_::import("pandas");
    py::dict types;
    types["id"] = py::str("str");
    return pandas.attr("read_csv")(py::module_::import("io").attr("StringIO")(text), py::arg("sep") = "\t",
        py::arg("float_precision") = "round_trip", py::arg("dtype") = types);
}

} // namespace

void bindSweep(py::module_ &m)
{
    m.def("sweep", &sweep, py::arg("experiment"), py::arg("parameter"), py::arg("values"),
        py::arg("repetitions") = py::none(), py::arg("seed") = RandomEngine::defaultSeed,
        py::arg("last_reversals") = defaultLastReversals, py::kw_only(), py::arg("exact") = false,
        py::arg("exact_only") = false,
        "Runs the experiment once per value of `parameter` (\"step-scale\", ..., or \"S:NAME\" for "
        "staircase S alone), each from the same seed, and returns the statistics of every value and "
        "staircase as a pandas DataFrame: quorvel-batch --vary NAME=VALUES --stats. `values` is a list of "
        "numbers or a text (\"0.5,1,2\", \"0.25:2:0.25\"). `exact` adds the exact finite-run columns "
        "(--exact); `exact_only` gives them without simulating (--exact-only, the simulated columns NaN). "
        "The GIL is released; Ctrl+C stops it.");
}
