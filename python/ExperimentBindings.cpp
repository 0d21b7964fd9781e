#include "Bindings.h"

#include <pybind11/operators.h>

#include "AtomicFile.h"
#include "ExperimentLoading.h"
#include "TextUtils.h"

namespace
{

// A value of T with the keyword arguments set through its Python attributes,
// so keywords and attributes accept the same names and values.
template <class T> T fromKeywords(const py::kwargs &keywords, const char *type)
{
    py::object value = py::cast(T());
    for (const auto &[key, item] : keywords) {
        const std::string name = py::str(key).cast<std::string>();
        if (name.empty() || name[0] == '_' || !py::hasattr(value, key))
            throw py::type_error(std::string(type) + "() got an unexpected keyword argument '" + name + "'");
        py::setattr(value, key, item);
    }
    return value.cast<T>();
}

std::string stepsText(const py::handle &steps)
{
    if (py::isinstance<py::str>(steps))
        return steps.cast<std::string>();
    std::string text;
    for (const py::handle &step : steps)
        text += (text.empty() ? "" : ",") + formatReal(step.cast<double>());
    return text;
}

std::string staircaseRepr(const StaircaseSettings &s)
{
    std::string text = "Staircase(start_level=" + formatReal(s.startLevel) + ", ascending="
        + (s.ascending ? "True" : "False") + ", correct_answers=" + std::to_string(s.correctAnswers)
        + ", max_reversals=" + std::to_string(s.maxInversions) + ", max_trials=" + std::to_string(s.maxTrials)
        + ", positive_steps=" + py::repr(py::str(s.positiveStepsText)).cast<std::string>()
        + ", negative_step=" + formatReal(s.negativeStep);
    if (s.clampActive)
        text += ", clamp_active=True, lower_clamp=" + formatReal(s.lowerClamp) + ", upper_clamp="
            + formatReal(s.upperClamp) + ", max_clamp_hits=" + std::to_string(s.maxClampHits);
    if (s.useStringId || !s.stringId.empty())
        text += ", string_id=" + py::repr(py::str(s.stringId)).cast<std::string>()
            + ", use_string_id=" + (s.useStringId ? "True" : "False");
    return text + ")";
}

PythonExperiment makeExperiment(
    const py::object &observer, const py::object &staircases, std::optional<int> repetitions)
{
    PythonExperiment e;
    e.observer = observer.is_none() ? py::cast(ObserverSettings()) : observer;
    e.staircases = staircases.is_none() ? py::list() : py::list(staircases);
    e.repetitions = repetitions;
    describe(e); // every element of the right type
    return e;
}

} // namespace

ExperimentDescription describe(const PythonExperiment &experiment)
{
    ExperimentDescription d;
    if (!py::isinstance<ObserverSettings>(experiment.observer))
        throw py::type_error("Experiment.observer must be a quorvel.Observer");
    d.observer = experiment.observer.cast<ObserverSettings>();
    for (const py::handle &item : experiment.staircases) {
        if (!py::isinstance<StaircaseSettings>(item))
            throw py::type_error("Experiment.staircases must hold quorvel.Staircase values");
        d.staircases.push_back(item.cast<StaircaseSettings>());
    }
    d.repetitions = experiment.repetitions;
    d.stringIdsGiven = experiment.stringIdsGiven;
    for (const StaircaseSettings &s : d.staircases)
        d.stringIdsGiven = d.stringIdsGiven || s.useStringId || !s.stringId.empty();
    return d;
}

PythonExperiment experimentFrom(const ExperimentDescription &description)
{
    PythonExperiment e;
    e.observer = py::cast(description.observer);
    for (const StaircaseSettings &s : description.staircases)
        e.staircases.append(py::cast(s));
    e.repetitions = description.repetitions;
    e.stringIdsGiven = description.stringIdsGiven;
    return e;
}

void bindExperiment(py::module_ &m)
{
    py::class_<ObserverSettings>(m, "Observer",
        "The simulated observer: a cumulative normal (mu, sigma) raised by the guess rate and held "
        "below 1 by the lapse rate.")
        .def(py::init([](const py::kwargs &k) { return fromKeywords<ObserverSettings>(k, "Observer"); }))
        .def_readwrite("mu", &ObserverSettings::mean)
        .def_readwrite("sigma", &ObserverSettings::standardDeviation)
        .def_readwrite("guess_rate", &ObserverSettings::guessRate)
        .def_readwrite("lapse_rate", &ObserverSettings::lapseRate)
        .def("copy", [](const ObserverSettings &o) { return o; })
        .def(py::self == py::self)
        .def("__repr__", [](const ObserverSettings &o) {
            return "Observer(mu=" + formatReal(o.mean) + ", sigma=" + formatReal(o.standardDeviation)
                + ", guess_rate=" + formatReal(o.guessRate) + ", lapse_rate=" + formatReal(o.lapseRate) + ")";
        });

    py::class_<StaircaseSettings>(m, "Staircase", "One staircase's settings, as its page holds them.")
        .def(py::init([](const py::kwargs &k) { return fromKeywords<StaircaseSettings>(k, "Staircase"); }))
        .def_readwrite("start_level", &StaircaseSettings::startLevel)
        .def_readwrite("ascending", &StaircaseSettings::ascending)
        .def_readwrite("correct_answers", &StaircaseSettings::correctAnswers)
        .def_readwrite("max_reversals", &StaircaseSettings::maxInversions)
        .def_readwrite("max_trials", &StaircaseSettings::maxTrials)
        .def_property(
            "positive_steps",
            [](const StaircaseSettings &s) {
                const Expected<std::vector<double>> steps = positiveStepSizes(s.positiveStepsText);
                if (!steps)
                    throw py::value_error(
                        "the positive steps \"" + s.positiveStepsText + "\" are not a list of numbers");
                return *steps;
            },
            [](StaircaseSettings &s, const py::handle &steps) { s.positiveStepsText = stepsText(steps); })
        .def_readwrite("positive_steps_text", &StaircaseSettings::positiveStepsText)
        .def_readwrite("negative_step", &StaircaseSettings::negativeStep)
        .def_readwrite("clamp_active", &StaircaseSettings::clampActive)
        .def_readwrite("lower_clamp", &StaircaseSettings::lowerClamp)
        .def_readwrite("upper_clamp", &StaircaseSettings::upperClamp)
        .def_readwrite("max_clamp_hits", &StaircaseSettings::maxClampHits)
        .def_readwrite("string_id", &StaircaseSettings::stringId)
        .def_readwrite("use_string_id", &StaircaseSettings::useStringId)
        .def("copy", [](const StaircaseSettings &s) { return s; })
        .def(py::self == py::self)
        .def("__repr__", &staircaseRepr);

    py::class_<PythonExperiment>(
        m, "Experiment", "An observer and its staircases, as a parameter file holds them.")
        .def(py::init(&makeExperiment), py::kw_only(), py::arg("observer") = py::none(),
            py::arg("staircases") = py::none(), py::arg("repetitions") = py::none())
        .def_property(
            "observer", [](const PythonExperiment &e) { return e.observer; },
            [](PythonExperiment &e, const py::object &o) {
                if (!py::isinstance<ObserverSettings>(o))
                    throw py::type_error("Experiment.observer must be a quorvel.Observer");
                e.observer = o;
            })
        .def_property(
            "staircases", [](const PythonExperiment &e) { return e.staircases; },
            [](PythonExperiment &e, const py::object &list) { e.staircases = py::list(list); })
        .def_readwrite("repetitions", &PythonExperiment::repetitions)
        .def(
            "copy", [](const PythonExperiment &e) { return experimentFrom(describe(e)); },
            "A deep copy: editing it leaves this experiment as it is.")
        .def(
            "save",
            [](const PythonExperiment &e, const py::handle &path) {
                const ExperimentDescription description = describe(e);
                for (const std::optional<Problem> &problem :
                    { positiveStepsProblem(description), stringIdProblem(description) })
                    if (problem)
                        throw ExperimentError(problem->message);
                const std::string target = pathText(path);
                AtomicFile file(target);
                if (!file.open() || !file.write(writeExperiment(description)) || !file.commit()) {
                    PyErr_SetString(PyExc_OSError,
                        ("Can't write the parameters file " + target + ":\n" + file.error()).c_str());
                    throw py::error_already_set();
                }
            },
            py::arg("path"), "Writes the parameter file whole or not at all, as Save does.")
        .def("__eq__",
            [](const PythonExperiment &a, const PythonExperiment &b) { return describe(a) == describe(b); })
        .def("__repr__", [](const py::object &self) {
            const PythonExperiment &e = self.cast<const PythonExperiment &>();
            return "Experiment(observer=" + py::repr(e.observer).cast<std::string>()
                + ", staircases=" + py::repr(e.staircases).cast<std::string>()
                + ", repetitions=" + py::repr(py::cast(e.repetitions)).cast<std::string>() + ")";
        });

    m.def(
        "read_experiment",
        [](const py::handle &path) {
            const Expected<LoadedExperiment> loaded = loadExperimentFile(pathText(path));
            if (!loaded)
                throw ExperimentError(loaded.problem().message);
            for (const std::string &warning : loaded->warnings)
                if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0)
                    throw py::error_already_set();
            return experimentFrom(loaded->experiment);
        },
        py::arg("path"),
        "Reads a parameter file as Open does: a refused file raises ExperimentError with Open's "
        "message; values fitted to their fields and missing observer keys come as UserWarning.");
}
