#include "ExperimentLoading.h"

#include "FieldRanges.h"

#include <iostream>
#include <sstream>

namespace
{

// The loader writes a missing key to std::cerr as well as reporting it; the
// batch program prints the report, so the same line would come twice.
class SilencedStandardError
{
public:
    SilencedStandardError()
        : saved(std::cerr.rdbuf(swallowed.rdbuf()))
    {
    }
    ~SilencedStandardError() { std::cerr.rdbuf(saved); }
    SilencedStandardError(const SilencedStandardError &) = delete;
    SilencedStandardError &operator=(const SilencedStandardError &) = delete;

private:
    std::ostringstream swallowed;
    std::streambuf *saved;
};

} // namespace

LoadedExperiment loadExperimentFile(const std::string &path)
{
    LoadedExperiment loaded;
    // Read as the window's Open reads, with its messages word for word.
    const ExperimentReading reading = [&] {
        const SilencedStandardError silenced;
        return readExperimentFile(path);
    }();
    if (!reading.ok()) {
        loaded.error = reading.error;
        return loaded;
    }
    // The warnings of the window's Open, in its order; a guess rate and a lapse rate that add up to 1
    // or more need none, since the run refuses them with its own message.
    loaded.warnings = reading.warnings;
    if (!reading.changes.empty())
        loaded.warnings.push_back(
            valueChangesMessage(reading.changes, static_cast<int>(reading.experiment.staircases.size())));

    // The values as the window would hold them after Open: fitted to the fields.
    loaded.experiment = reading.experiment;
    loaded.request = runRequestFor(reading.experiment);
    return loaded;
}

RunRequest runRequestFor(const ExperimentDescription &experiment)
{
    RunRequest request;
    request.observer = experiment.observer;
    request.staircases = experiment.staircases;
    request.repetitions = experiment.repetitions.value_or(1);
    for (std::size_t i = 0; i < request.staircases.size(); ++i) {
        const StaircaseSettings &s = request.staircases[i];
        request.staircaseIds.push_back(s.useStringId ? s.stringId : std::to_string(i));
    }
    return request;
}
