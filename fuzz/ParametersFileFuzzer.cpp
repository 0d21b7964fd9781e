// Feeds arbitrary bytes to the parameter file reader and the conversions that
// Open performs. Every input is read twice, as text and as a file through
// loadFile, and both readings must agree. An accepted experiment then goes
// through what fills the pages: its values already fit the fields, so fitting
// them again changes nothing; the change list, the guess and lapse check and
// the step lists' conversion run as Open and Start run them. Besides crashes,
// hangs and sanitizer reports it checks that an accepted experiment which Save
// would write reads back unchanged.

#include "ExperimentFile.h"
#include "FieldRanges.h"
#include "ParametersLoader.h"
#include "TextUtils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

#include <unistd.h>

namespace
{

// Swallows the loader's missing-key lines, which would flood the fuzzer's output.
class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return c; }
};

std::string filePath;

Expected<ExperimentReading> readFile(const std::string &text)
{
    std::ofstream(filePath, std::ios::binary | std::ios::trunc) << text;
    ParametersLoader loader;
    try {
        loader.loadFile(filePath);
    } catch (const ParametersFileError &) {
        std::abort(); // a small regular file is always read
    }
    return readExperiment(loader);
}

Expected<ExperimentReading> readText(const std::string &text)
{
    ParametersLoader loader;
    std::istringstream is(text);
    if (!loader.load(is))
        std::abort(); // a string stream never fails to read
    return readExperiment(loader);
}

bool same(const StaircaseSettings &a, const StaircaseSettings &b)
{
    return a.startLevel == b.startLevel && a.ascending == b.ascending && a.correctAnswers == b.correctAnswers
        && a.maxInversions == b.maxInversions && a.maxTrials == b.maxTrials
        && a.positiveStepsText == b.positiveStepsText && a.negativeStep == b.negativeStep
        && a.clampActive == b.clampActive && a.lowerClamp == b.lowerClamp && a.upperClamp == b.upperClamp
        && a.maxClampHits == b.maxClampHits && a.stringId == b.stringId && a.useStringId == b.useStringId;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static NullBuffer nullBuffer;
    std::cerr.rdbuf(&nullBuffer);
    filePath = "/tmp/quorvel-fuzz-" + std::to_string(getpid()) + ".txt";
    std::atexit([] { std::remove(filePath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const Expected<ExperimentReading> reading = readText(text);
    const Expected<ExperimentReading> fromFile = readFile(text);
    if (bool(fromFile) != bool(reading) || (!reading && fromFile.problem() != reading.problem()))
        std::abort();
    if (!reading)
        return 0;

    const ExperimentDescription &experiment = reading->experiment;
    const int n = static_cast<int>(experiment.staircases.size());
    if (n < 1 || n > maxStaircaseCount)
        std::abort();
    ExperimentDescription fitted = experiment;
    if (!fitToFields(fitted).empty()
        || valueChangesMessage(reading->changes, n).empty() != reading->changes.empty())
        std::abort();
    guessAndLapseWarning(experiment.observer);
    // What a run does with each page's step text.
    for (const StaircaseSettings &s : experiment.staircases) {
        try {
            positiveStepSizes(s.positiveStepsText);
        } catch (const boost::bad_lexical_cast &) {
        }
    }

    if (positiveStepsProblem(experiment) || stringIdProblem(experiment))
        return 0;
    const Expected<ExperimentReading> again = readText(writeExperiment(experiment));
    if (!again || !again->warnings.empty() || !again->changes.empty()
        || again->experiment.staircases.size() != experiment.staircases.size()
        || again->experiment.repetitions != experiment.repetitions
        || again->experiment.stringIdsGiven != experiment.stringIdsGiven)
        std::abort();
    const ObserverSettings &a = experiment.observer;
    const ObserverSettings &b = again->experiment.observer;
    if (a.mean != b.mean || a.standardDeviation != b.standardDeviation || a.lapseRate != b.lapseRate
        || a.guessRate != b.guessRate)
        std::abort();
    for (std::size_t i = 0; i < experiment.staircases.size(); ++i) {
        StaircaseSettings expected = experiment.staircases[i];
        boost::algorithm::trim(expected.positiveStepsText);
        if (!same(expected, again->experiment.staircases[i]))
            std::abort();
    }
    return 0;
}
