#include "Bindings.h"
#include "TrialColumnsSource.h"

#include <pybind11/eval.h>

#include <limits>

std::string pathText(const py::handle &path)
{
    return py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

py::object dataFrame(const py::dict &columns)
{
    // copy=False: the columns are the arrays given, views included.
    return py::module_::import("pandas").attr("DataFrame")(columns, py::arg("copy") = false);
}

namespace
{

// The int, or ValueError naming the argument when it is not within [minimum, maximum].
long long intArgument(const py::handle &value, const char *name, long long minimum, long long maximum)
{
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (number == -1 && PyErr_Occurred())
        throw py::error_already_set();
    if (overflow != 0 || number < minimum || number > maximum)
        throw py::value_error(std::string(name) + " must be from " + std::to_string(minimum) + " to "
            + std::to_string(maximum) + ", not " + py::str(value).cast<std::string>());
    return number;
}

} // namespace

std::optional<int> repetitionsArgument(const py::object &repetitions)
{
    if (repetitions.is_none())
        return std::nullopt;
    if (!py::isinstance<py::int_>(repetitions))
        throw py::type_error("repetitions must be an int or None");
    if (repetitions < py::int_(1))
        return 0; // runProblem's refusal
    return int(intArgument(repetitions, "repetitions", 1, std::numeric_limits<int>::max()));
}

std::uint32_t seedArgument(const py::int_ &seed)
{
    return std::uint32_t(intArgument(seed, "seed", 0, std::numeric_limits<std::uint32_t>::max()));
}

double orNan(const std::optional<double> &value)
{
    return value ? *value : std::numeric_limits<double>::quiet_NaN();
}

PYBIND11_MODULE(quorvel, m)
{
    m.doc() = "Quorvel's staircase simulator: experiments, runs as NumPy arrays and pandas tables.";
    py::register_exception<ExperimentError>(m, "ExperimentError");
    bindExperiment(m);
    bindRun(m);
    bindTheory(m);
    bindSweep(m);
    // Deferred and TrialColumns, written in Python: Run.trials is a dict subclass.
    py::dict scope;
    scope["__name__"] = "quorvel";
    py::exec(trialColumnsSource, scope);
    m.attr("Deferred") = scope["Deferred"];
    m.attr("TrialColumns") = scope["TrialColumns"];
}
