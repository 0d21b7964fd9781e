#include "Bindings.h"

#include "ExperimentLoading.h"
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

py::object theory(const PythonExperiment &experiment)
{
    const RunRequest request = runRequestFor(describe(experiment));
    const std::vector<StaircaseTheory> theories = staircaseTheories(request.staircases, request.observer);
    py::list staircase, id, step, psi, level, status, reversalLevel, psiAtReversalLevel, trialPsi;
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
    return dataFrame(columns);
}

} // namespace

void bindTheory(py::module_ &m)
{
    m.def("theory", &theory, py::arg("experiment"),
        "Where each staircase converges, from its rules: the classic target of its final positive step "
        "(psi_star, x_star) and its exact long-run values (NaN unless `stationary` is \"computed\").");
}
