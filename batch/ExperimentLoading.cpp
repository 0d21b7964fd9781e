#include "ExperimentLoading.h"

#include "ExperimentFile.h"
#include "ParametersLoader.h"

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
    ParametersLoader loader;
    try {
        loader.loadFile(path);
    } catch (const ParametersFileError &e) {
        // Word for word the window's message for a file it cannot read.
        loaded.error = "Can't read the parameters file " + path + ":\n" + e.reason();
        return loaded;
    }
    const ExperimentReading reading = [&] {
        const SilencedStandardError silenced;
        return readExperiment(loader);
    }();
    if (!reading.ok()) {
        loaded.error = reading.error;
        return loaded;
    }
    loaded.warnings = reading.warnings;
    // Values changed to fit the window's fields are to be listed here too, once
    // the reading reports them, so the batch program warns as Open does.

    RunRequest &request = loaded.request;
    request.observer = reading.experiment.observer;
    request.staircases = reading.experiment.staircases;
    // The repetition count and the string IDs come from the reading once the
    // file can hold them; until then a page without a string ID shows its number.
    request.repetitions = 1;
    for (std::size_t i = 0; i < request.staircases.size(); ++i)
        request.staircaseIds.push_back(std::to_string(i));
    return loaded;
}
