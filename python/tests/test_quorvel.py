"""The Python module against the batch program and the engine's promises: the
same bytes for the same file, options and seed; arrays that view the run; Ctrl+C
and progress; refusals and warnings with the batch program's texts; edits that run."""
import _thread
import gc
import os
import pickle
import subprocess
import threading
import time
import warnings

import numpy as np
import pandas as pd
import pytest

import quorvel

BATCH = os.environ["QUORVEL_BATCH"]
EXAMPLE = os.path.join(os.environ["QUORVEL_EXAMPLES"], "three-interleaved-staircases.txt")


def batch(*arguments):
    return subprocess.run([BATCH, *map(str, arguments)], capture_output=True, text=True)


@pytest.fixture(scope="module")
def example():
    return quorvel.read_experiment(EXAMPLE)


@pytest.fixture(scope="module")
def run(example):
    # More trials than one 64K block of the engine's storage.
    return quorvel.simulate(example, repetitions=1000, seed=7)


def test_same_outputs_as_the_batch_program(tmp_path, run):
    done = batch(EXAMPLE, "--repetitions", 1000, "--seed", 7,
                 "--trials", tmp_path / "b-trials.tsv", "--summary", tmp_path / "b-summary.tsv")
    assert done.returncode == 0, done.stderr
    run.write_trials(tmp_path / "trials.tsv")
    run.write_summary(tmp_path / "summary.tsv")
    for name in ("trials.tsv", "summary.tsv"):
        assert (tmp_path / name).read_bytes() == (tmp_path / f"b-{name}").read_bytes()

    table = pd.read_csv(tmp_path / "b-trials.tsv", sep="\t", usecols=range(6), dtype={"ID": str})
    t = run.trials
    assert list(table["ID"]) == [run.ids[s] for s in t["staircase"]]
    for column, key in [("Ntrial", "run_trial"), ("Steps", "trial"),
                        ("Inversions", "reversals_before"), ("Response", "response")]:
        np.testing.assert_array_equal(table[column], t[key], err_msg=column)
    summary = pd.read_csv(tmp_path / "b-summary.tsv", sep="\t", float_precision="round_trip")
    for s in range(run.staircase_count):
        rows = summary[summary.staircase == s]
        np.testing.assert_array_equal(rows["repetition"], np.arange(1, run.repetitions + 1))
        np.testing.assert_array_equal(rows["estimate"], run.estimates(s))
        np.testing.assert_array_equal(rows["estimate_cir"], run.estimates(s, "cir"))

    # The batch program's staircase table, from the same theory and statistics.
    printed = [line.split() for line in done.stdout.splitlines()]
    stats, theory = run.stats(), quorvel.theory(quorvel.read_experiment(EXAMPLE))
    assert len(printed) == run.staircase_count + 1
    for s, line in enumerate(printed[1:]):
        ours = [str(s), f"{theory.psi_star[s] * 100:.6g}", f"{theory.x_star[s]:.6f}",
                *(f"{stats[key][s]:.6f}" for key in ("mean", "bias", "sd")),
                f"{stats.mean_trials[s]:.2f}", f"{stats.sweat_factor[s]:.6g}", str(stats.estimates[s]),
                stats.id[s]]
        assert line == ours


def test_reversal_column_marks_the_levels_the_estimates_average(run):
    frame = run.trials_frame()
    reversals = frame[frame.reversal].groupby(["staircase", "repetition"])["level"]
    last6 = reversals.apply(lambda levels: levels.tail(6).mean() if len(levels) >= 6 else np.nan)
    for s in range(run.staircase_count):
        np.testing.assert_allclose(last6.loc[s].reindex(range(1, run.repetitions + 1)), run.estimates(s),
                                   rtol=1e-14)
    assert list(frame.columns) == ["id", "repetition", "staircase", "run_trial", "trial",
                                   "reversals_before", "level", "response", "reversal"]


def test_stored_columns_view_the_run_and_keep_it_alive(example):
    run = quorvel.simulate(example, repetitions=1000)
    assert run.trial_count > 65536
    trials = run.trials
    for key in ("repetition", "staircase", "trial", "reversals_before", "level", "response", "reversal"):
        assert trials[key].base is run, key
        assert not trials[key].flags.writeable
    frame = run.trials_frame()
    assert np.shares_memory(frame["level"].to_numpy(), trials["level"])
    first_levels = trials["level"][:5].copy()
    del run, trials
    gc.collect()
    np.testing.assert_array_equal(frame["level"][:5], first_levels)  # the frame kept the run
    del frame
    gc.collect()


def test_run_trial_is_made_when_read_and_every_dict_route_reads_it(run):
    trials = run.trials
    assert isinstance(trials, dict) and list(trials)[2] == "run_trial"
    assert isinstance(dict.__getitem__(trials, "run_trial"), quorvel.Deferred)  # holding costs nothing
    rows = np.arange(run.trial_count)
    for copied in (dict(trials), {**trials}, dict(trials.items()), pickle.loads(pickle.dumps(trials)),
                   pd.DataFrame(trials), trials.copy()):
        np.testing.assert_array_equal(copied["run_trial"], rows)
    made = trials["run_trial"]
    assert trials.get("run_trial") is made and list(trials.values())[2] is made  # made once, then kept


def test_run_trial_takes_the_smaller_type_while_it_holds_every_number():
    for trials, dtype in [(65536, np.uint16), (65537, np.uint32)]:
        staircase = quorvel.Staircase(max_trials=trials, max_reversals=999_999)
        run = quorvel.simulate(quorvel.Experiment(staircases=[staircase]), repetitions=1)
        assert run.trial_count == trials
        assert run.trials["run_trial"].dtype == dtype
        np.testing.assert_array_equal(run.trials["run_trial"], np.arange(trials))


def test_ctrl_c_and_a_failing_progress_callback_cancel_the_run(example):
    interrupted = []

    def interrupt():
        interrupted.append(time.monotonic())
        _thread.interrupt_main()

    threading.Timer(0.3, interrupt).start()
    with pytest.raises(KeyboardInterrupt):
        quorvel.simulate(example, repetitions=10_000_000)
    assert time.monotonic() - interrupted[0] < 1.0  # typically under 0.1 s

    calls = []

    def progress(done, total, trials):
        calls.append((done, total, trials))
        if len(calls) == 2:
            raise ValueError("stop here")

    with pytest.raises(ValueError, match="stop here"):
        quorvel.simulate(example, repetitions=10_000_000, progress=progress)
    assert calls[0][1] == 10_000_000 and 0 < calls[0][2] < calls[1][2]
    quorvel.simulate(example, repetitions=3, progress=progress)
    assert calls[-1][:2] == (3, 3)  # the end is always reported


def test_refusals_and_warnings_carry_the_batch_programs_texts(tmp_path, example):
    refused = tmp_path / "refused.txt"
    refused.write_text(open(EXAMPLE).read().replace("sStairNumber: 3", "sStairNumber: 4"))
    with pytest.raises(quorvel.ExperimentError) as raised:
        quorvel.read_experiment(refused)
    assert f"quorvel-batch: {raised.value}\n" == batch(refused).stderr

    fitted = tmp_path / "fitted.txt"
    fitted.write_text(open(EXAMPLE).read().replace("Sigma: 1", "Sigma: 0"))
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        quorvel.read_experiment(fitted)
    expected = [line.removeprefix("quorvel-batch: warning: ")
                for line in batch(fitted, "--quiet").stderr.split("\nquorvel-batch: ")]
    assert [str(w.message) for w in caught] == [e.rstrip("\n") for e in expected]
    assert "Standard deviation: 0 in the file, 0.001 used" in str(caught[0].message)

    with pytest.raises(quorvel.ExperimentError, match=r'^Staircase 0: the positive step size "x" is not'):
        quorvel.simulate(quorvel.Experiment(staircases=[quorvel.Staircase(positive_steps="x")]))
    unfitted = quorvel.Experiment(observer=quorvel.Observer(sigma=0), staircases=[quorvel.Staircase()])
    for compute in (quorvel.simulate, quorvel.theory):  # an edit is not fitted as a file's value is
        with pytest.raises(quorvel.ExperimentError, match='"Standard deviation" is 0, outside its range'):
            compute(unfitted)
    for given, reason in [(dict(seed=2**32), "seed must be from 0 to 4294967295, not 4294967296"),
                          (dict(seed=-1), "seed must be from 0"), (dict(repetitions=2**31), "repetitions must be")]:
        with pytest.raises(ValueError, match=reason):
            quorvel.simulate(example, **given)
    unsaved = quorvel.Experiment(staircases=[quorvel.Staircase(string_id="a,b", use_string_id=True)])
    with pytest.raises(quorvel.ExperimentError, match="string ID"):
        unsaved.save(tmp_path / "unsaved.txt")
    assert not (tmp_path / "unsaved.txt").exists()
    with pytest.raises(TypeError, match="max_trails"):
        quorvel.Staircase(max_trails=3)
    with pytest.raises(ValueError, match="unknown estimator"):
        quorvel.simulate(quorvel.read_experiment(EXAMPLE), repetitions=1).estimates(0, "median")


def test_an_edited_experiment_runs_and_saves_its_new_settings(tmp_path, example):
    edited = example.copy()
    edited.observer.sigma = 2
    edited.staircases[0].max_trials = 5
    edited.staircases[0].positive_steps = [2, 0.25]
    edited.staircases.append(quorvel.Staircase(start_level=1, string_id="late", use_string_id=True))
    assert example.observer.sigma == 1 and example.staircases[0].max_trials == 150
    assert len(example.staircases) == 3

    run = quorvel.simulate(edited, repetitions=20, seed=11)
    t = run.trials
    assert t["trial"][t["staircase"] == 0].max() == 4
    assert run.ids == ["0", "1", "2", "late"]

    path = tmp_path / "edited.txt"
    edited.save(path)
    assert quorvel.read_experiment(path) == edited
    run.write_trials(tmp_path / "trials.tsv")
    done = batch(path, "--repetitions", 20, "--seed", 11, "--quiet", "--trials", tmp_path / "b.tsv")
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "trials.tsv").read_bytes() == (tmp_path / "b.tsv").read_bytes()

    built = quorvel.Experiment(observer=quorvel.Observer(mu=1, sigma=0.5),
                               staircases=[quorvel.Staircase(**{"max_trials": 30, "positive_steps": [0.5]})],
                               repetitions=4)
    assert quorvel.simulate(built).repetitions == 4


def read_stats(path_or_buffer):
    return pd.read_csv(path_or_buffer, sep="\t", float_precision="round_trip", dtype={"id": str})


def test_sweep_equals_the_batch_programs_stats(tmp_path, example):
    done = batch(EXAMPLE, "--repetitions", 300, "--seed", 3, "--last-reversals", 4, "--quiet",
                 "--vary", "1:step-scale=0.5,1,2", "--stats", tmp_path / "stats.tsv")
    assert done.returncode == 0, done.stderr
    swept = quorvel.sweep(example, "1:step-scale", [0.5, 1, 2], repetitions=300, seed=3, last_reversals=4)
    pd.testing.assert_frame_equal(swept, read_stats(tmp_path / "stats.tsv"))
    for flag, keyword in (("--exact", "exact"), ("--exact-only", "exact_only")):
        done = batch(EXAMPLE, flag, "--repetitions", 300, "--seed", 3, "--last-reversals", 4, "--quiet",
                     "--vary", "1:step-scale=0.5,1,2", "--stats", tmp_path / "exact.tsv")
        assert done.returncode == 0, done.stderr
        swept = quorvel.sweep(example, "1:step-scale", [0.5, 1, 2], repetitions=300, seed=3, last_reversals=4,
                              **{keyword: True})
        pd.testing.assert_frame_equal(swept, read_stats(tmp_path / "exact.tsv"))
    with pytest.raises(ValueError, match="step-scal"):
        quorvel.sweep(example, "step-scal", "1,2")
    with pytest.raises(ValueError):
        quorvel.sweep(example, "step-scale", "1,x")


def test_estimators_stats_and_exact_values_match_the_batch_program(tmp_path, example, run):
    assert (run.stats("ml").estimates == [np.count_nonzero(~np.isnan(run.estimates(s, "ml")))
                                          for s in range(run.staircase_count)]).all()
    done = batch(EXAMPLE, "--exact-only", "--last-reversals", 4, "--quiet", "--stats", tmp_path / "exact.tsv")
    assert done.returncode == 0, done.stderr
    exact = read_stats(tmp_path / "exact.tsv")
    theory = quorvel.theory(example, last_reversals=4)
    for column in ("exact_mean", "exact_sd", "exact_p_estimate", "exact_mean_trials", "exact_status"):
        pd.testing.assert_series_equal(theory[column], exact[column], check_names=False)
