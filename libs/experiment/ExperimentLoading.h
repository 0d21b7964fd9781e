#pragma once
// The one way quorvel-batch and the Python module read an experiment file, so
// that they accept, refuse and warn about exactly what the window's Open does,
// with the same texts.

#include "ExperimentFile.h"
#include "Run.h"

#include <string>
#include <vector>

// A file that Open accepts; a refused one gives Open's message as the problem.
struct LoadedExperiment {
    // What Open would warn about while still applying the file, in its order.
    std::vector<std::string> warnings;
    // The file's experiment, its values fitted to the fields.
    ExperimentDescription experiment;
    // The experiment as the window would run it after Open: its staircases'
    // IDs as their pages show them, and the file's repetition count (1 when
    // it gives none).
    RunRequest request;
};

Expected<LoadedExperiment> loadExperimentFile(const std::string &path);

// The request the window runs for `experiment`: each staircase named by its
// string ID or, without one, its number; the experiment's repetitions (else 1).
RunRequest runRequestFor(const ExperimentDescription &experiment);
