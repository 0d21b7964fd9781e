#pragma once
// The Python module `quorvel`: one binding file per concept.
//
//   ExperimentBindings  Observer, Staircase and Experiment (plain, editable
//                       values), read_experiment and Experiment.save;
//   RunBindings         simulate (GIL released, Ctrl+C cancels) and Run: the
//                       trials as NumPy arrays that view the run's storage,
//                       estimates, the statistics across repetitions, the
//                       engine's text outputs;
//   SweepBindings       sweep: the statistics of one experiment over a list
//                       of values of one setting (quorvel-batch --stats);
//   TheoryBindings      theory: where each staircase converges, and the
//                       exact values of a finite session.
//
// Every number comes from the engine; this layer only converts. Refused
// experiments raise quorvel.ExperimentError with the engine's message.

#include "ExperimentFile.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace py = pybind11;

// Raised in Python as quorvel.ExperimentError.
struct ExperimentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An experiment as Python edits it: the observer and a list of staircases are
// Python objects, so `exp.staircases[0].max_trials = 50` changes the
// experiment. It becomes the engine's description when it is used.
struct PythonExperiment {
    py::object observer; // an Observer
    py::list staircases; // of Staircase
    std::optional<int> repetitions;
    bool stringIdsGiven = false; // as read from a file
};

ExperimentDescription describe(const PythonExperiment &experiment);
PythonExperiment experimentFrom(const ExperimentDescription &description);

// A path as Python gives it (str or os.PathLike).
std::string pathText(const py::handle &path);

// A pandas DataFrame of the columns, in their order.
py::object dataFrame(const py::dict &columns);

// simulate's and sweep's `repetitions` (None: the experiment's own; below 1 is
// left for runProblem to refuse) and `seed` (as quorvel-batch --seed takes it);
// a Python int that does not fit raises ValueError naming the argument.
std::optional<int> repetitionsArgument(const py::object &repetitions);
std::uint32_t seedArgument(const py::int_ &seed);

// An optional number as Python sees it: NaN without a value.
double orNan(const std::optional<double> &value);

void bindExperiment(py::module_ &m);
void bindRun(py::module_ &m);
void bindTheory(py::module_ &m);
void bindSweep(py::module_ &m);
