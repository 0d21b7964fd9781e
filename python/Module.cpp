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
