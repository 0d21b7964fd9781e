#include "Bindings.h"

#include "AtomicFile.h"
#include "Estimators.h"
#include "ExperimentLoading.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "StaircaseTheory.h"
#include "TrialTable.h"

#include <pybind11/numpy.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <memory>

namespace
{

using Clock = std::chrono::steady_clock;
// How often a run looks for Ctrl+C (the GIL is taken for that), and how often it reports progress.
constexpr auto signalInterval = std::chrono::milliseconds(50);
constexpr auto progressInterval = std::chrono::milliseconds(250);

// The engine's estimator of that name; ValueError naming those it has otherwise.
Estimator estimatorNamed(const std::string &name)
{
    if (const std::optional<Estimator> estimator = estimatorFromName(name))
        return *estimator;
    throw py::value_error("unknown estimator \"" + name + "\"; the estimators are " + estimatorNameList());
}

EstimatorSettings estimatorSettings(int lastReversals, int firstReversal)
{
    if (lastReversals < 1 || firstReversal < 1)
        throw py::value_error("last_reversals and first_reversal must be at least 1");
    return EstimatorSettings { lastReversals, firstReversal };
}

std::unique_ptr<RunResult> simulateExperiment(const PythonExperiment &experiment,
    const py::object &repetitionsGiven, const py::int_ &seedGiven, const py::object &progress)
{
    const std::optional<int> repetitions = repetitionsArgument(repetitionsGiven);
    const std::uint32_t seed = seedArgument(seedGiven);
    RunRequest request = runRequestFor(describe(experiment));
    if (repetitions)
        request.repetitions = *repetitions;
    if (const std::optional<Problem> problem = runProblem(request))
        throw ExperimentError(problem->message);

    std::atomic<bool> cancel { false };
    std::optional<py::error_already_set> failure;
    Clock::time_point lastCheck = Clock::now(), lastProgress = lastCheck;
    const int total = request.repetitions;
    // Runs every few thousand trials, without the GIL; takes it a few times a second.
    const ProgressCallback check = [&](const RunProgress &p) {
        const Clock::time_point now = Clock::now();
        const bool end = p.repetitions == total;
        if (!end && now - lastCheck < signalInterval)
            return;
        lastCheck = now;
        const py::gil_scoped_acquire gil;
        try {
            if (PyErr_CheckSignals() != 0)
                throw py::error_already_set();
            if (!progress.is_none() && (end || now - lastProgress >= progressInterval)) {
                lastProgress = now;
                progress(p.repetitions, total, p.trials);
            }
        } catch (py::error_already_set &e) {
            failure.emplace(std::move(e));
            cancel = true;
        }
    };
    auto result = std::make_unique<RunResult>();
    RandomEngine engine(seed);
    {
        const py::gil_scoped_release released;
        *result = simulate(request, engine, check, &cancel);
    }
    if (failure)
        throw *failure; // KeyboardInterrupt, or what the progress callback raised
    return result;
}

// A read-only array: the run's results are only read.
py::array readOnly(py::array array)
{
    array.attr("setflags")(py::arg("write") = false);
    return array;
}

// One stored field of every trial: a strided view of the run's own records
// when they lie in one array (kept alive by `owner`), a copy otherwise.
template <class T>
py::array storedColumn(const RunResult &run, const py::handle &owner, T TrialRecord::*field)
{
    const std::size_t n = run.trialCount();
    if (const TrialRecord *records = run.contiguousTrials())
        return readOnly(py::array_t<T>({ n }, { sizeof(TrialRecord) }, &(records->*field), owner));
    py::array_t<T> column(static_cast<py::ssize_t>(n));
    T *out = column.mutable_data();
    for (std::size_t k = 0; k < n; ++k)
        out[k] = run.trial(k).*field;
    return readOnly(column);
}

template <class T, class F> py::array computedColumn(std::size_t n, F value)
{
    py::array_t<T> column(static_cast<py::ssize_t>(n));
    T *out = column.mutable_data();
    for (std::size_t k = 0; k < n; ++k)
        out[k] = value(k);
    return readOnly(column);
}

// The run-wide trial numbers 0 ... n - 1, the one column the records do not
// hold: uint16 while they fit (2 bytes a trial), uint32 beyond (a run records
// at most RunResult::maximumTrialCount trials).
bool runTrialFitsUint16(std::size_t n)
{
    return n == 0 || n - 1 <= std::numeric_limits<std::uint16_t>::max();
}

py::array runTrialColumn(std::size_t n)
{
    static_assert(RunResult::maximumTrialCount <= std::numeric_limits<std::uint32_t>::max());
    if (runTrialFitsUint16(n))
        return computedColumn<std::uint16_t>(n, [](std::size_t k) { return std::uint16_t(k); });
    return computedColumn<std::uint32_t>(n, [](std::size_t k) { return std::uint32_t(k); });
}

// Run.trials: a quorvel.TrialColumns (a dict) of the stored columns, which view
// the records, and run_trial, computed when it is first read so that holding
// the columns adds nothing to the run's memory.
py::object trialColumns(const py::object &self)
{
    const RunResult &run = self.cast<const RunResult &>();
    const std::size_t n = run.trialCount();
    const py::module_ quorvel = py::module_::import("quorvel");
    py::dict columns;
    columns["repetition"] = storedColumn(run, self, &TrialRecord::repetitionNumber);
    columns["staircase"] = storedColumn(run, self, &TrialRecord::staircase);
    columns["run_trial"] = quorvel.attr("Deferred")(py::cpp_function([n] { return runTrialColumn(n); }),
        std::string(runTrialFitsUint16(n) ? "uint16" : "uint32") + " row numbers from 0");
    columns["trial"] = storedColumn(run, self, &TrialRecord::staircaseTrial);
    columns["reversals_before"] = storedColumn(run, self, &TrialRecord::reversals);
    columns["level"] = storedColumn(run, self, &TrialRecord::level);
    columns["response"] = storedColumn(run, self, &TrialRecord::response);
    columns["reversal"] = storedColumn(run, self, &TrialRecord::reversal);
    return quorvel.attr("TrialColumns")(columns);
}

// Each staircase's display text, as the results table shows it.
std::vector<std::string> staircaseIds(const RunResult &run)
{
    std::vector<std::string> ids;
    for (int s = 0; s < run.staircaseCount(); ++s)
        ids.push_back(run.staircaseId(s));
    return ids;
}

py::object trialsFrame(const py::object &self)
{
    const RunResult &run = self.cast<const RunResult &>();
    // The ID column is categorical: one code per trial, the IDs once (equal IDs share a category).
    const std::vector<std::string> ids = staircaseIds(run);
    std::vector<std::string> categories;
    std::vector<std::int8_t> codeOf;
    for (const std::string &id : ids) {
        const auto found = std::find(categories.begin(), categories.end(), id);
        codeOf.push_back(std::int8_t(found - categories.begin()));
        if (found == categories.end())
            categories.push_back(id);
    }
    const py::object trials = trialColumns(self);
    py::dict columns;
    columns["id"]
        = py::module_::import("pandas")
              .attr("Categorical")
              .attr("from_codes")(computedColumn<std::int8_t>(run.trialCount(),
                                      [&](std::size_t k) { return codeOf[run.trial(k).staircase]; }),
                  categories);
    for (const py::handle name : trials)
        columns[name] = trials[name];
    return dataFrame(columns);
}

void checkStaircase(const RunResult &run, int staircase)
{
    if (staircase < 0 || staircase >= run.staircaseCount())
        throw py::index_error("staircase " + std::to_string(staircase) + " is not in this run (it has "
            + std::to_string(run.staircaseCount()) + ")");
}

py::array_t<double> estimates(
    const RunResult &run, int staircase, const std::string &name, int lastReversals, int firstReversal)
{
    checkStaircase(run, staircase);
    const Estimator estimator = estimatorNamed(name);
    const EstimatorSettings settings = estimatorSettings(lastReversals, firstReversal);
    std::vector<std::optional<double>> found;
    {
        const py::gil_scoped_release released;
        found = staircaseEstimates(run, staircase, estimator, settings, run.request().observer);
    }
    py::array_t<double> values(static_cast<py::ssize_t>(found.size()));
    double *out = values.mutable_data();
    for (std::size_t r = 0; r < found.size(); ++r)
        out[r] = orNan(found[r]);
    return values;
}

py::object stats(const RunResult &run, const std::string &name, int lastReversals, int firstReversal)
{
    const Estimator estimator = estimatorNamed(name);
    const EstimatorSettings settings = estimatorSettings(lastReversals, firstReversal);
    std::vector<std::pair<const char *, py::list>> columns;
    const auto add = [&](std::size_t i, const char *name, py::object value) {
        if (columns.size() <= i)
            columns.emplace_back(name, py::list());
        columns[i].second.append(value);
    };
    const RunRequest &request = run.request();
    for (int s = 0; s < run.staircaseCount(); ++s) {
        const StaircaseTheory theory = staircaseTheory(request.staircases[std::size_t(s)], request.observer);
        RepetitionStats st;
        {
            const py::gil_scoped_release released;
            st = repetitionStats(run, s, theory, estimator, settings);
        }
        const EstimateStats &e = st.estimates;
        const auto interval = [](const std::optional<Interval> &i, bool high) {
            return i ? std::optional<double>(high ? i->high : i->low) : std::nullopt;
        };
        std::size_t c = 0;
        const auto number = [&](const char *name, const std::optional<double> &value) {
            add(c++, name, py::float_(orNan(value)));
        };
        const auto count = [&](const char *name, long value) { add(c++, name, py::int_(value)); };
        count("staircase", s);
        add(c++, "id", py::str(run.staircaseId(s)));
        number("psi_star", theory.classic.psi);
        number("x_star", theory.classic.level);
        count("repetitions", st.repetitions);
        count("estimates", e.count);
        count("fewer_reversals", st.fewerReversals);
        number("mean", e.mean);
        number("psi_at_mean", e.psiAtMean);
        number("sd", e.sd);
        number("standard_error", e.standardError);
        number("lower_quantile", e.lowerQuantile);
        number("upper_quantile", e.upperQuantile);
        number("bias", e.bias);
        number("bias_percent_points", e.biasPercentPoints);
        number("rmse", e.rmse);
        number("mean_low", interval(e.meanInterval, false));
        number("mean_high", interval(e.meanInterval, true));
        number("sd_low", interval(e.sdInterval, false));
        number("sd_high", interval(e.sdInterval, true));
        number("rmse_low", interval(e.rmseInterval, false));
        number("rmse_high", interval(e.rmseInterval, true));
        number("mean_trials", st.trials ? std::optional<double>(st.trials->mean) : std::nullopt);
        number("min_trials", st.trials ? std::optional<double>(st.trials->min) : std::nullopt);
        number("max_trials", st.trials ? std::optional<double>(st.trials->max) : std::nullopt);
        count("stopped_on_reversals", st.stoppedOnReversals);
        count("stopped_on_trials", st.stoppedOnTrials);
        count("stopped_on_clamp_hits", st.stoppedOnClampHits);
        number("sweat_factor", st.sweatFactor);
        number("sweat_low", interval(st.sweatInterval, false));
        number("sweat_high", interval(st.sweatInterval, true));
    }
    py::dict table;
    for (auto &[name, values] : columns)
        table[name] = values;
    return dataFrame(table);
}

// Writes one of the engine's text outputs whole or not at all.
template <class Write> void writeText(const py::handle &pathObject, const char *what, Write write)
{
    const std::string path = pathText(pathObject);
    AtomicFile file(path);
    bool written;
    {
        const py::gil_scoped_release released;
        written = file.open()
            && write([&file](const char *data, std::size_t size) { return file.write(data, size); })
            && file.commit();
    }
    if (!written) {
        PyErr_SetString(PyExc_OSError,
            ("Can't write the " + std::string(what) + " to " + path + ":\n" + file.error()).c_str());
        throw py::error_already_set();
    }
}

} // namespace

void bindRun(py::module_ &m)
{
    py::class_<RunResult>(
        m, "Run", "A finished run: every trial, and what each staircase did per repetition.")
        .def_property_readonly(
            "repetitions", &RunResult::repetitionCount, "Repetitions that ran to their end.")
        .def_property_readonly("complete", &RunResult::isComplete)
        .def_property_readonly("trial_count", &RunResult::trialCount)
        .def_property_readonly("staircase_count", &RunResult::staircaseCount)
        .def_property_readonly(
            "ids", &staircaseIds, "Each staircase's display text, as the results table shows it.")
        .def_property_readonly("trials", &trialColumns,
            "Every trial, one read-only NumPy array per column, in a dict (quorvel.TrialColumns): "
            "repetition (from 1), staircase, run_trial, trial, reversals_before, level, response, "
            "reversal. All but run_trial view the run's own records and keep the Run alive; run_trial "
            "(from 0) is computed when first read, as uint16 when the run has at most 65,536 trials and "
            "uint32 otherwise.")
        .def("trials_frame", &trialsFrame,
            "The trials as a pandas DataFrame, with the staircase's ID (categorical) first.")
        .def("estimates", &estimates, py::arg("staircase"), py::arg("estimator") = "reversals",
            py::arg("last_reversals") = defaultLastReversals, py::arg("first_reversal") = 3,
            "One estimate per repetition that ran to its end, NaN where there is none. Estimators: "
            "reversals (the mean of the last K reversal levels), trials (the mean level from reversal R "
            "on), cir (centered isotonic regression), ml (maximum likelihood, sigma known).")
        .def("stats", &stats, py::arg("estimator") = "reversals",
            py::arg("last_reversals") = defaultLastReversals, py::arg("first_reversal") = 3,
            "The statistics across repetitions of one estimator's estimates, one row per staircase, as a "
            "pandas DataFrame.")
        .def(
            "write_trials",
            [](const RunResult &r, const py::handle &path) {
                writeText(
                    path, "trials", [&](const TextSink &sink) { return writeTrialTable(r, nullptr, sink); });
            },
            py::arg("path"), "The trial table, byte for byte quorvel-batch --trials.")
        .def(
            "write_summary",
            [](const RunResult &r, const py::handle &path, int lastReversals) {
                if (lastReversals < 1)
                    throw py::value_error("last_reversals must be at least 1");
                writeText(path, "summary",
                    [&](const TextSink &sink) { return writeRepetitionSummary(r, lastReversals, sink); });
            },
            py::arg("path"), py::arg("last_reversals") = defaultLastReversals,
            "The per-repetition summary, byte for byte quorvel-batch --summary.")
        .def("__len__", &RunResult::trialCount)
        .def("__repr__", [](const RunResult &r) {
            return "<quorvel.Run: " + std::to_string(r.repetitionCount()) + " repetitions of "
                + std::to_string(r.staircaseCount()) + " staircases, " + std::to_string(r.trialCount())
                + " trials" + (r.isComplete() ? "" : ", cancelled") + ">";
        });

    m.def("simulate", &simulateExperiment, py::arg("experiment"), py::arg("repetitions") = py::none(),
        py::arg("seed") = RandomEngine::defaultSeed, py::arg("progress") = py::none(),
        "Runs the experiment `repetitions` times (default: its own, else 1) with the engine seeded by "
        "`seed`. The GIL is released; Ctrl+C stops the run. progress(repetitions_done, repetitions, "
        "trials) is called a few times a second and at the end.");
}
