#pragma once
// The one way quorvel-batch reads an experiment file, so that it accepts,
// refuses and warns about exactly what the window's Open does, with the same
// texts.

#include "Run.h"

#include <string>
#include <vector>

struct LoadedExperiment {
    // Empty when the file can run; otherwise Open's message for it.
    std::string error;
    // What Open would warn about while still applying the file, in its order.
    std::vector<std::string> warnings;
    // The experiment as the window would run it after Open: its staircases'
    // IDs as their pages show them, and the file's repetition count (1 when
    // it gives none).
    RunRequest request;

    bool ok() const { return error.empty(); }
};

LoadedExperiment loadExperimentFile(const std::string &path);
