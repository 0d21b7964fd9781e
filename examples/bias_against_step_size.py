"""From Python: read an example experiment, simulate 1,000 repetitions, look at
the estimates in pandas, and plot each staircase's bias against its step size.

    ./dev python examples/bias_against_step_size.py [picture.png]

The sweep is the engine's (`quorvel.sweep`, as quorvel-batch --vary
step-scale=... --stats): scaling both steps keeps every staircase's target, so
what changes is how well a session's estimate (the mean of its last 6 reversal
levels) finds it. Every scale runs from the same seed.
"""
import sys
from pathlib import Path

try:
    import matplotlib

    matplotlib.use("Agg")  # no window: the picture goes to a file
    import matplotlib.pyplot as plt
    import pandas as pd
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

import quorvel

experiment = quorvel.read_experiment(Path(__file__).with_name("three-interleaved-staircases.txt"))
run = quorvel.simulate(experiment, repetitions=1000)

estimates = pd.DataFrame({run.ids[s]: run.estimates(s) for s in range(run.staircase_count)},
                         index=pd.RangeIndex(1, run.repetitions + 1, name="repetition"))
print(estimates.describe())
print(run.stats()[["id", "psi_star", "x_star", "mean", "bias", "sd", "mean_trials"]].to_string(index=False))

sweep = quorvel.sweep(experiment, "step-scale", [0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0], repetitions=1000)
print(sweep[["step-scale", "id", "bias", "sd", "rmse"]].to_string(index=False))

figure, axes = plt.subplots(figsize=(6, 4))
for staircase, rows in sweep.groupby("staircase"):
    axes.errorbar(rows["negative_step"], rows["bias"], yerr=rows["se"], marker="o", capsize=3,
                  label=f"staircase {run.ids[staircase]}")
axes.axhline(0, color="grey", linewidth=0.8)
axes.set_xlabel("negative step (positive steps scaled alike)")
axes.set_ylabel("bias of the estimate (level units)")
axes.set_title("Bias over 1,000 repetitions per step size")
axes.legend()
figure.tight_layout()
picture = sys.argv[1] if len(sys.argv) > 1 else "bias-against-step-size.png"
figure.savefig(picture, dpi=100)
print(f"wrote {picture}")
