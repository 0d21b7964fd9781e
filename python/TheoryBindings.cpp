#include "Bindings.h"

#include "ExactRun.h"
#include "ExperimentLoading.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"
#include "TextUtils.h"

namespace
{

const char *statusName(StationaryStatus status)
{
    switch (status) {
    case StationaryStatus::computed:
        return "computed";
    case StationaryStatus::clamped:
        return "clamped";
    case StationaryStatus::noGrid:
        return "no grid";
    case StationaryStatus::unreachable:
        return "unreachable";
    }
    return "";
}

py::object theory(const PythonExperiment &experiment, int lastReversals)
{
    if (lastReversals < 1)
        throw py::value_error("last_reversals must be at least 1");
    const RunRequest request = runRequestFor(describe(experiment));
    if (const std::optional<Problem> problem = settingsProblem(request))
        throw ExperimentError(problem->message);
    const std::vector<StaircaseTheory> theories = staircaseTheories(request.staircases, request.observer);
    std::vector<ExactRun> exact;
    {
        const py::gil_scoped_release released;
        exact = exactRuns(request.staircases, request.observer, theories, lastReversals);
    }
    py::list staircase, id, step, psi, level, status, reversalLevel, psiAtReversalLevel, trialPsi;
    py::list exactP, exactMean, exactSd, exactBias, exactRmse, exactStopReversals, exactStopTrials,
        exactTrials, exactSdTrials, exactSweat, exactStatus;
    for (std::size_t s = 0; s < theories.size(); ++s) {
        const StaircaseTheory &t = theories[s];
        const bool computed = t.stationary.status == StationaryStatus::computed;
        const auto stationary
            = [computed](double value) { return orNan(computed ? std::optional(value) : std::nullopt); };
        staircase.append(s);
        id.append(validUtf8(staircaseId(request.staircases[s], int(s))));
        step.append(t.classic.positiveStep);
        psi.append(orNan(t.classic.psi));
        level.append(orNan(t.classic.level));
        status.append(statusName(t.stationary.status));
        reversalLevel.append(stationary(t.stationary.meanReversalLevel));
        psiAtReversalLevel.append(stationary(t.stationary.psiAtMeanReversalLevel));
        trialPsi.append(stationary(t.stationary.trialAveragedPsi));
        const ExactRun &e = exact[s];
        const ExactEstimate *k = e.estimate(lastReversals);
        const auto run = [&e](double value) {
            return orNan(e.status == ExactStatus::computed ? std::optional(value) : std::nullopt);
        };
        exactP.append(orNan(k ? std::optional(k->pEstimate) : std::nullopt));
        exactMean.append(orNan(k ? k->mean : std::nullopt));
        exactSd.append(orNan(k ? k->sd : std::nullopt));
        exactBias.append(orNan(k ? k->bias : std::nullopt));
        exactRmse.append(orNan(k ? k->rmse : std::nullopt));
        exactStopReversals.append(run(e.pStopReversals));
        exactStopTrials.append(run(e.pStopTrials));
        exactTrials.append(run(e.meanTrials));
        exactSdTrials.append(run(e.sdTrials));
        exactSweat.append(orNan(k ? k->sweatFactor : std::nullopt));
        exactStatus.append(exactStatusName(e.status));
    }
    py::dict columns;
    columns["staircase"] = staircase;
    columns["id"] = id;
    columns["final_positive_step"] = step;
    columns["psi_star"] = psi;
    columns["x_star"] = level;
    columns["stationary"] = status;
    columns["mean_reversal_level"] = reversalLevel;
    columns["psi_at_mean_reversal_level"] = psiAtReversalLevel;
    columns["trial_averaged_psi"] = trialPsi;
    columns["exact_p_estimate"] = exactP;
    columns["exact_mean"] = exactMean;
    columns["exact_sd"] = exactSd;
    columns["exact_bias"] = exactBias;
    columns["exact_rmse"] = exactRmse;
    columns["exact_p_stop_reversals"] = exactStopReversals;
    columns["exact_p_stop_trials"] = exactStopTrials;
    columns["exact_mean_trials"] = exactTrials;
    columns["exact_sd_trials"] = exactSdTrials;
    columns["exact_sweat"] = exactSweat;
    columns["exact_status"] = exactStatus;
    return dataFrame(columns);
}

} // namespace

void bindTheory(py::module_ &m)
{
    m.def("theory", &theory, py::arg("experiment"), py::arg("last_reversals") = defaultLastReversals,
        "Where each staircase converges, from its rules: the classic target of its final positive step "
        "(psi_star, x_star), its exact long-run values (NaN unless `stationary` is \"computed\") and the "
        "exact values of one finite session whose estimate is the mean of its last `last_reversals` "
        "reversal levels (exact_*, NaN unless `exact_status` is \"computed\"), as quorvel-batch --exact.");
}
