"""Quorvel's staircase simulator from Python: the engine of the program and of
quorvel-batch, with its seeds and its numbers, as NumPy arrays and pandas tables.

    import quorvel
    exp = quorvel.read_experiment("examples/three-interleaved-staircases.txt")
    run = quorvel.simulate(exp, repetitions=1000)
    run.estimates(0)          # one estimate per repetition (NaN without one)
    run.trials_frame()        # every trial as a DataFrame
"""
from os import PathLike
from typing import Callable, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

Path = Union[str, PathLike[str]]


class ExperimentError(Exception):
    """A parameter file or an experiment was refused; the message is the one
    the program's Open and Start and quorvel-batch give."""


class Observer:
    """The simulated observer: psi(x) = guess_rate + (1 - guess_rate - lapse_rate) * Phi((x - mu) / sigma)."""
    mu: float
    sigma: float
    guess_rate: float
    lapse_rate: float

    def __init__(self, *, mu: float = 0.0, sigma: float = 1.0, guess_rate: float = 0.0,
                 lapse_rate: float = 0.0) -> None: ...
    def copy(self) -> Observer: ...


class Staircase:
    """One staircase's settings, as its page in the program holds them."""
    start_level: float
    ascending: bool
    correct_answers: int
    """Answers in a row that make a positive step."""
    max_reversals: int
    max_trials: int
    positive_steps: list[float]
    """One step size per pair of reversals. Set a list of numbers or a text such as "1,0.5"."""
    positive_steps_text: str
    """The steps as the file holds them (may be any text; simulate refuses one that is not numbers)."""
    negative_step: float
    clamp_active: bool
    lower_clamp: float
    upper_clamp: float
    max_clamp_hits: int
    string_id: str
    use_string_id: bool
    """Whether the staircase is named by `string_id` rather than its number."""

    def __init__(self, *, start_level: float = -5.0, ascending: bool = True, correct_answers: int = 1,
                 max_reversals: int = 4, max_trials: int = 100,
                 positive_steps: Union[Sequence[float], str] = "0.2", positive_steps_text: str = "0.2",
                 negative_step: float = 0.5, clamp_active: bool = False, lower_clamp: float = -99999.0,
                 upper_clamp: float = 99999.0, max_clamp_hits: int = 0, string_id: str = "",
                 use_string_id: bool = False) -> None: ...
    def copy(self) -> Staircase: ...


class Experiment:
    """An observer and its staircases. The attributes are plain and editable:
    `exp.observer.sigma = 2`, `exp.staircases[0].positive_steps = [1, 0.5]`,
    `exp.staircases.append(quorvel.Staircase())`."""
    observer: Observer
    staircases: list[Staircase]
    repetitions: Optional[int]
    """The file's repetitions; simulate runs 1 when it is None and none are given."""

    def __init__(self, *, observer: Optional[Observer] = None,
                 staircases: Optional[Sequence[Staircase]] = None,
                 repetitions: Optional[int] = None) -> None: ...
    def copy(self) -> Experiment:
        """A deep copy: editing it leaves this experiment as it is."""
    def save(self, path: Path) -> None:
        """Writes the parameter file whole or not at all, as the program's Save does.
        Raises ExperimentError for a step text or string ID the file cannot hold,
        OSError (naming the file and the system's reason) when it cannot be written."""


def read_experiment(path: Path) -> Experiment:
    """Reads a parameter file exactly as the program's Open and quorvel-batch do.
    A refused file raises ExperimentError with their message; values fitted to
    their fields and missing observer keys come as UserWarning (one per message)."""


class Deferred:
    """A column of TrialColumns that is computed the first time it is read."""


class TrialColumns(dict[str, np.ndarray]):
    """Run.trials: a dict of read-only arrays, one per column. Indexing, get,
    items, values, dict(...), {**...} and pandas.DataFrame(...) read a Deferred
    column (run_trial) by computing it once."""


class Run:
    """A finished (or cancelled) run: every trial, and each staircase's outcome per repetition."""
    repetitions: int
    """Repetitions that ran to their end."""
    complete: bool
    """False when the run was cancelled."""
    trial_count: int
    staircase_count: int
    ids: list[str]
    """Each staircase's display text: its string ID, or its number."""

    @property
    def trials(self) -> TrialColumns:
        """Every trial in run order, one read-only array per column:

        repetition (uint32, from 1), staircase (uint8), run_trial (from 0: the
        trial table's Ntrial; uint16 when the run has at most 65,536 trials,
        uint32 otherwise), trial (uint32: the staircase's earlier trials in its
        repetition), reversals_before (uint32), level (float64), response (bool),
        reversal (bool: the answer counted a reversal).

        All but run_trial view the run's own records (24 bytes a trial, strided)
        without a copy; their `.base` is the Run, which they keep alive.
        run_trial is not stored by the engine: it is computed the first time it
        is read from these columns (2 or 4 bytes a trial) and kept from then on,
        so holding the columns costs nothing. The views are copies too when the run could not
        reserve its most trials in one piece (more than half the machine's
        memory, or refused by the system): such a run lies in 64K-trial blocks."""
    def trials_frame(self) -> pd.DataFrame:
        """`trials` as a DataFrame, with `id` (categorical: the staircase's display
        text) first. The viewed columns stay views of the run."""
    def estimates(self, staircase: int, estimator: str = "reversals", last_reversals: int = 6,
                  first_reversal: int = 3) -> npt.NDArray[np.float64]:
        """One threshold estimate per repetition that ran to its end, NaN where it
        gives none, as quorvel-batch --summary: "reversals" (the mean of the last
        `last_reversals` reversal levels), "trials" (the mean level of the trials
        from reversal `first_reversal` on), "cir" (centered isotonic regression,
        read off at the target) or "ml" (maximum likelihood, the observer's sigma,
        guess and lapse rates known). Raises ValueError for any other name."""
    def stats(self, estimator: str = "reversals", last_reversals: int = 6,
              first_reversal: int = 3) -> pd.DataFrame:
        """The program's "Across repetitions" table of one estimator's estimates
        (see `estimates`): one row per staircase with its
        classic target (psi_star, x_star) and what its estimates came to (count,
        mean, psi_at_mean, sd, standard_error, quantiles, bias, bias_percent_points,
        rmse, intervals, trials per repetition, stop reasons, sweat_factor); NaN
        where a value does not exist."""
    def write_trials(self, path: Path) -> None:
        """The trial table, byte for byte the program's export and quorvel-batch --trials."""
    def write_summary(self, path: Path, last_reversals: int = 6) -> None:
        """The per-repetition summary, byte for byte quorvel-batch --summary."""
    def __len__(self) -> int: ...


def simulate(experiment: Experiment, repetitions: Optional[int] = None, seed: int = 5489,
             progress: Optional[Callable[[int, int, int], object]] = None) -> Run:
    """Runs the experiment `repetitions` times (default: its own, else 1) with the
    engine seeded by `seed` (0 to 4294967295, as quorvel-batch --seed); the default seed gives the program's first run after
    start-up. Raises ExperimentError with Start's message for an experiment that
    cannot run, and for a value outside the range its field in the window holds
    (a file's values are fitted into it; an edit is not). The GIL is released while it runs; Ctrl+C (KeyboardInterrupt)
    stops it within a tenth of a second. `progress(repetitions_done, repetitions,
    trials)` is called a few times a second and at the end; an exception it
    raises stops the run and propagates."""


def theory(experiment: Experiment, last_reversals: int = 6) -> pd.DataFrame:
    """Where each staircase converges, from its rules: the classic target of its
    final positive step (final_positive_step, psi_star, x_star; NaN when there is
    none) and the exact long-run values (mean_reversal_level,
    psi_at_mean_reversal_level, trial_averaged_psi), NaN unless `stationary` is
    "computed" (else "clamped", "no grid" or "unreachable").

    Then the exact values of one finite session whose estimate is the mean of
    its last `last_reversals` reversal levels, as quorvel-batch --exact:
    exact_p_estimate (the chance of an estimate), exact_mean, exact_sd,
    exact_bias, exact_rmse, exact_p_stop_reversals, exact_p_stop_trials,
    exact_mean_trials, exact_sd_trials, exact_sweat; NaN unless exact_status is
    "computed" (else "clamped", "no-steps", "no-grid" or "over-budget")."""


def sweep(experiment: Experiment, parameter: str, values: Union[str, Sequence[float]],
          repetitions: Optional[int] = None, seed: int = 5489, last_reversals: int = 6, *,
          exact: bool = False, exact_only: bool = False) -> pd.DataFrame:
    """Runs the experiment once per value of `parameter` ("step-scale",
    "positive-step", "negative-step", "correct-answers", "max-reversals",
    "max-trials", "last-reversals", "start", "sigma", "guess", "lapse"; "S:NAME"
    varies staircase S alone), every value from the same `seed`, and returns
    one row per value and staircase with the statistics of its estimates: the
    table of quorvel-batch --vary NAME=VALUES --stats, read with
    float_precision="round_trip" (NA as NaN). `values` is a list of numbers or a
    text ("0.5,1,2" or FROM:TO:STEP, "0.25:2:0.25"). The GIL is released while
    it runs; Ctrl+C (KeyboardInterrupt) stops it. Raises ValueError with the
    engine's message for a parameter, value list or value it refuses. `exact`
    adds the exact finite-run columns (exact_mean, ..., exact_status: --exact);
    `exact_only` gives them without any simulation, the simulated columns NaN
    (--exact-only)."""
