"""The Python module against quorvel-batch on a run of about 10,000,000 trials of
the three-staircase example: time of simulate (medians of alternating runs),
the memory the trial arrays add to the run's (holding Run.trials, and reading its
one computed column, run_trial), and the time of trials_frame().

    PYTHONPATH=build-release/python /usr/bin/python3 bench/bench_python.py \\
        build-release/batch/quorvel-batch [rounds]
"""
import gc
import os
import statistics
import subprocess
import sys
import time

import quorvel

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
example = os.path.join(root, "examples", "three-interleaved-staircases.txt")
batch = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
repetitions = 85_500  # about 117 trials a repetition


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def timed(action):
    start = time.perf_counter()
    value = action()
    return time.perf_counter() - start, value


experiment = quorvel.read_experiment(example)
batch_times, python_times, frame_times = [], [], []
for _ in range(rounds):
    seconds, done = timed(lambda: subprocess.run(
        [batch, example, "--repetitions", str(repetitions), "--quiet"], check=True))
    batch_times.append(seconds)
    gc.collect()
    before = resident_bytes()
    seconds, run = timed(lambda: quorvel.simulate(experiment, repetitions=repetitions))
    python_times.append(seconds)
    run_bytes = resident_bytes() - before
    trials = run.trials
    views = [trials[key] for key in trials if key != "run_trial"]
    array_bytes = resident_bytes() - before - run_bytes
    row_numbers = trials["run_trial"]
    row_number_bytes = resident_bytes() - before - run_bytes - array_bytes
    del trials, views, row_numbers
    seconds, frame = timed(run.trials_frame)
    frame_times.append(seconds)
    del frame, run
    gc.collect()

batch_median, python_median = statistics.median(batch_times), statistics.median(python_times)
print(f"trials per run: about {repetitions * 117:,}")
print(f"quorvel-batch:   median {batch_median:.3f} s")
print(f"quorvel.simulate median {python_median:.3f} s ({python_median / batch_median:.2f}x)")
print(f"run: {run_bytes / 2**20:.0f} MB resident; Run.trials and its views add "
      f"{array_bytes / 2**20:.1f} MB ({100 * array_bytes / run_bytes:.1f} %); reading run_trial adds "
      f"{row_number_bytes / 2**20:.0f} MB ({100 * row_number_bytes / run_bytes:.0f} %)")
print(f"trials_frame():  median {statistics.median(frame_times):.3f} s")
