#include "ExperimentLoading.h"

#include "FieldRanges.h"
#include "Reporting.h"

Expected<LoadedExperiment> loadExperimentFile(const std::string &path)
{
    // Read as the window's Open reads, with its messages word for word.
    // The loader also reports a missing key on its own; the batch program prints the reading's
    // message instead, so the same line does not come twice.
    const Expected<ExperimentReading> read = [&] {
        const ReportScope ignored([](const std::string &) {});
        return readExperimentFile(path);
    }();
    if (!read)
        return read.problem();
    const ExperimentReading &reading = *read;
    LoadedExperiment loaded;
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
    return request;
}
