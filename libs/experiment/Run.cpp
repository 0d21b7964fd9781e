#include "Run.h"

#include "ExperimentFile.h"
#include "FieldRanges.h"
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "Reporting.h"
#include "TextUtils.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <unistd.h>

namespace
{

// How often a run looks at the cancel flag and reports progress, in trials.
constexpr std::size_t progressInterval = 1 << 14;

std::string tabTitle(std::size_t index)
{
    return "Staircase " + std::to_string(index);
}

// What is wrong with a positive-step text's entries, if anything: the first entry
// that is not a finite number, and the first entry with blanks around it.
struct StepTextFaults {
    std::string notANumber;
    std::string blanked;
};

StepTextFaults stepTextFaults(const std::string &text)
{
    StepTextFaults faults;
    for (const std::string &token : tokenize(boost::algorithm::trim_copy(text), ",")) {
        const std::string entry = boost::algorithm::trim_copy(token);
        if (entry != token && faults.blanked.empty())
            faults.blanked = token;
        double value;
        // "nan" and "inf" convert, but no staircase can step by them.
        if (faults.notANumber.empty() && !entry.empty()
            && (!boost::conversion::try_lexical_convert(entry, value) || !std::isfinite(value)))
            faults.notANumber = entry;
    }
    return faults;
}

std::string staircaseProblem(
    const StaircaseSettings &settings, const std::string &id, const std::string &title)
{
    const std::string example
        = "Enter one step size per pair of reversals, separated by commas, e.g. 1,0.5,0.2";
    const StepTextFaults faults = stepTextFaults(settings.positiveStepsText);
    const std::string noBlanks = "Blanks after commas are not allowed.";
    if (!faults.notANumber.empty())
        return title + ": the positive step size \"" + faults.notANumber + "\" is not a number."
            + (faults.blanked.empty() ? " " : " " + noBlanks + " ") + example;
    if (!faults.blanked.empty())
        return title + ": the positive step size \"" + faults.blanked + "\" has blanks around it. " + noBlanks
            + " " + example;
    if (positiveStepSizes(settings.positiveStepsText)->empty()) // every token is a number by now
        return title + ": no positive step size is given. " + example;
    if (settings.clampActive && !(settings.lowerClamp < settings.upperClamp))
        return title + ": the lower clamp (" + formatReal(settings.lowerClamp)
            + ") must be below the upper clamp (" + formatReal(settings.upperClamp) + ").";
    if (id.find_first_of("\t\r\n") != std::string::npos)
        return title
            + ": its string ID holds a tab or a line break, which would break the rows of the "
              "results table and its export. Remove it from the string ID.";
    return std::string();
}

// '"Max trials" is 0, outside its range 1 to 999999.' for a value outside the
// field's range, NaN included; empty within it.
template <class Field, class T> std::string rangeFault(const Field &field, T value)
{
    if (value >= field.minimum && value <= field.maximum)
        return std::string();
    return "\"" + std::string(field.name) + "\" is " + formatReal(double(value)) + ", outside its range "
        + formatReal(double(field.minimum)) + " to " + formatReal(double(field.maximum)) + ".";
}

std::string observerRangeFault(const ObserverSettings &o)
{
    for (const std::string &fault : { rangeFault(FieldRanges::mean, o.mean),
             rangeFault(FieldRanges::standardDeviation, o.standardDeviation),
             rangeFault(FieldRanges::guessRate, o.guessRate),
             rangeFault(FieldRanges::lapseRate, o.lapseRate) })
        if (!fault.empty())
            return fault;
    return std::string();
}

std::string staircaseRangeFault(const StaircaseSettings &s)
{
    std::vector<std::string> faults { rangeFault(FieldRanges::startLevel, s.startLevel),
        rangeFault(FieldRanges::correctAnswers, s.correctAnswers),
        rangeFault(FieldRanges::maxInversions, s.maxInversions),
        rangeFault(FieldRanges::maxTrials, s.maxTrials),
        rangeFault(FieldRanges::negativeStep, s.negativeStep) };
    if (s.clampActive)
        faults.insert(faults.end(),
            { rangeFault(FieldRanges::maxClampHits, s.maxClampHits),
                rangeFault(FieldRanges::lowerClamp, s.lowerClamp),
                rangeFault(FieldRanges::upperClamp, s.upperClamp) });
    for (const std::string &fault : faults)
        if (!fault.empty())
            return fault;
    return std::string();
}

StopReason stopReason(const Staircase &s)
{
    if (s.getInversions() >= s.getMaxInversions())
        return StopReason::maxReversals;
    if (s.getTrials() >= s.getMaxTrials())
        return StopReason::maxTrials;
    return StopReason::clampHits;
}

} // namespace

RunResult::RunResult(RunRequest request)
    : runRequest(std::move(request))
{
}

std::string RunResult::staircaseId(int s) const
{
    return validUtf8(::staircaseId(runRequest.staircases[std::size_t(s)], s));
}

RunRecorder::RunRecorder(RunResult &result, std::size_t expectedTrials)
    : result(result)
    , pending(std::size_t(result.staircaseCount()))
    , expectedTrials(std::min(expectedTrials, RunResult::maximumTrialCount))
{
}

void RunRecorder::record(const TrialRecord &trial)
{
    const std::size_t k = result.recordedTrials;
    if (!result.request().keepTrials) {
        ++result.recordedTrials;
        return;
    }
    if (k == RunResult::maximumTrialCount)
        throw std::length_error(
            "The run reached 2147483647 trials, the most a results table can hold, and was "
            "stopped.");
    if (k == 0 && expectedTrials > (result.blockMask + 1)) {
        // Left unset, so untouched pages take no memory: every record is written before it is read.
        unsigned bits = RunResult::smallBlockBits;
        while ((std::size_t(1) << bits) < expectedTrials)
            ++bits;
        // At most half the machine's memory: the system refuses a much larger reservation, and
        // the address sanitizer's allocator would end the process instead of failing.
        const double machineBytes = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGE_SIZE));
        if (double(sizeof(TrialRecord)) * double(std::size_t(1) << bits) <= machineBytes / 2)
            try {
                std::unique_ptr<TrialRecord[]> block(new TrialRecord[std::size_t(1) << bits]);
                result.blocks.push_back(std::move(block));
                result.blockBits = bits;
                result.blockMask = (std::size_t(1) << bits) - 1;
            } catch (const std::bad_alloc &) {
                // Not that much address space: small blocks, allocated as the run grows.
            }
    }
    if ((k & result.blockMask) == 0 && k >> result.blockBits == result.blocks.size())
        result.blocks.emplace_back(new TrialRecord[result.blockMask + 1]);
    result.blocks.back()[k & result.blockMask] = trial;
    if (trial.staircase < pending.size())
        pending[trial.staircase].lastTrial = k;
    ++result.recordedTrials;
}

void RunRecorder::reversal(int staircase, double level)
{
    Pending &p = pending[std::size_t(staircase)];
    p.reversalLevels.push_back(level);
    if (p.lastTrial != std::size_t(-1))
        result.blocks[p.lastTrial >> result.blockBits][p.lastTrial & result.blockMask].reversal = true;
}

void RunRecorder::finished(
    int staircase, std::uint32_t trials, double lastLevel, bool endedOnReversal, StopReason stop)
{
    StaircaseOutcome &o = pending[std::size_t(staircase)].outcome;
    o.trials = trials;
    o.lastLevel = lastLevel;
    o.endedOnReversal = endedOnReversal;
    o.stop = stop;
}

void RunRecorder::endRepetition()
{
    for (Pending &p : pending) {
        p.outcome.firstReversal = result.reversals.size();
        p.outcome.reversalCount = static_cast<std::uint32_t>(p.reversalLevels.size());
        result.reversals.insert(result.reversals.end(), p.reversalLevels.begin(), p.reversalLevels.end());
        result.outcomes.push_back(p.outcome);
        p = Pending();
    }
    ++result.completedRepetitions;
}

void RunRecorder::end(bool complete)
{
    result.complete = complete;
}

std::optional<Problem> runProblem(const RunRequest &request)
{
    const int n = request.staircaseCount();
    if (n < 1 || n > maxStaircaseCount)
        return Problem { "An experiment needs between 1 and " + std::to_string(maxStaircaseCount)
            + " staircases.\nThe simulation was not started." };
    if (request.repetitions < 1)
        return Problem { "An experiment needs at least one repetition.\nThe simulation was not started." };
    if (std::optional<Problem> problem = settingsProblem(request)) {
        problem->message += "\nThe simulation was not started.";
        return problem;
    }
    return std::nullopt;
}

std::optional<Problem> settingsProblem(const RunRequest &request)
{
    const ObserverSettings &o = request.observer;
    if (const std::string fault = observerRangeFault(o); !fault.empty())
        return Problem { "The observer's " + fault };
    if (!observerRises(o))
        return Problem { "The guess rate (" + formatReal(o.guessRate) + ") and the lapse rate ("
            + formatReal(o.lapseRate)
            + ") add up to 1 or more, so the psychometric function would not rise with the level. Their sum "
              "must stay below 1." };
    for (std::size_t i = 0; i < request.staircases.size(); ++i) {
        const StaircaseSettings &s = request.staircases[i];
        if (const std::string fault = staircaseRangeFault(s); !fault.empty())
            return Problem { tabTitle(i) + ": its " + fault };
        if (const std::string problem = staircaseProblem(s, staircaseId(s, int(i)), tabTitle(i));
            !problem.empty())
            return Problem { problem };
    }
    return std::nullopt;
}

std::uint64_t maximumTrials(const RunRequest &request)
{
    std::uint64_t perRepetition = 0;
    for (const StaircaseSettings &s : request.staircases)
        perRepetition += static_cast<std::uint64_t>(std::max(s.maxTrials, 1));
    return perRepetition * static_cast<std::uint64_t>(std::max(request.repetitions, 0));
}

RunResult simulate(const RunRequest &request, RandomEngine &engine, const ProgressCallback &progress,
    const std::atomic<bool> *cancel)
{
    // The staircases' messages come once per run, not once per repetition.
    const ReportScope onePerRun;
    RunResult result(request);
    RunRecorder recorder(result,
        static_cast<std::size_t>(
            std::min<std::uint64_t>(maximumTrials(request), RunResult::maximumTrialCount)));

    const PsychometricObserver observer(request.observer);
    const double sqrt2Sigma = observer.sqrt2Sigma();
    ParStaircase set(engine);
    std::size_t trials = 0;
    std::size_t nextCheck = progressInterval;
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    const auto report = [&](int repetitions) {
        if (progress)
            progress(RunProgress { trials, repetitions });
    };

    for (int r = 0; r < request.repetitions; ++r) {
        set.configure(request.staircases);
        bool allFinished = false;
        while (!allFinished) {
            Staircase &s = set.chooseStaircase();
            // Drawn after the pick: the order of the draws is part of the results.
            const bool response = observer.respond(s.getState(), sqrt2Sigma, engine);
            const double level = s.getState();
            const int id = s.getId();
            const int reversalsBefore = s.getInversions();
            recorder.record(TrialRecord { level, static_cast<std::uint32_t>(r + 1),
                static_cast<std::uint32_t>(s.getTrials()), static_cast<std::uint32_t>(reversalsBefore),
                static_cast<std::uint8_t>(id), response, false });
            allFinished = set.step(response);
            const Staircase &after = set.lastStepped();
            const bool reversed = after.getInversions() > reversalsBefore;
            if (reversed)
                recorder.reversal(id, level);
            if (set.lastStepFinished())
                recorder.finished(
                    id, static_cast<std::uint32_t>(after.getTrials()), level, reversed, stopReason(after));

            if (++trials == nextCheck) {
                nextCheck += progressInterval;
                if (cancelled()) {
                    recorder.end(false);
                    return result;
                }
                report(r);
            }
        }
        recorder.endRepetition();
    }
    recorder.end(true);
    report(request.repetitions);
    return result;
}

std::map<int, std::map<int, double>> lastLevelsByReversalCount(const RunResult &result)
{
    // Within a repetition the last trial presented at reversal count k is the
    // trial that raised the count to k + 1, or the staircase's last trial when
    // k is the count it ended with.
    std::map<int, std::map<int, double>> levels;
    for (int r = 0; r < result.repetitionCount(); ++r) {
        for (int s = 0; s < result.staircaseCount(); ++s) {
            const StaircaseOutcome &o = result.outcome(r, s);
            if (o.trials == 0)
                continue;
            std::map<int, double> &byCount = levels[s];
            const double *reversal = result.reversalLevelsBegin(r, s);
            for (std::uint32_t k = 0; k < o.reversalCount; ++k)
                byCount[int(k)] = reversal[k];
            if (!o.endedOnReversal)
                byCount[int(o.reversalCount)] = o.lastLevel;
        }
    }
    return levels;
}

std::vector<LastReversalsAverage> lastReversalsAverages(const RunResult &result, int lastCount)
{
    const PsychometricObserver observer(result.request().observer);
    std::vector<LastReversalsAverage> averages;
    for (const auto &[staircase, levels] : lastLevelsByReversalCount(result)) {
        double sum = 0.0;
        int summed = 0;
        // The highest reversal counts come last in the map.
        for (auto it = levels.crbegin(); it != levels.crend() && summed < lastCount; ++it, ++summed)
            sum += it->second;
        const double average = summed == 0 ? 0.0 : sum / summed;
        averages.push_back({ average, observer.probability(average) });
    }
    return averages;
}

std::optional<LastReversalsExcess> lastReversalsExcess(const RunRequest &request, int lastCount)
{
    LastReversalsExcess excess;
    excess.lowestMaximum = lastCount;
    for (int s = 0; s < request.staircaseCount(); ++s) {
        const int maximum = request.staircases[std::size_t(s)].maxInversions;
        excess.lowestMaximum = std::min(excess.lowestMaximum, maximum);
        if (maximum < lastCount)
            excess.staircases.push_back(s);
    }
    if (excess.staircases.empty())
        return std::nullopt;
    return excess;
}
