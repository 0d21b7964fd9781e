#!/usr/bin/env bash
# Reads quorvel-batch's --tidy-trials file as a researcher would, with pandas'
# and R's defaults, and checks its columns, their types and its rows against
# the summary of the same run (every repetition's reversals are marked).
#   read_tidy_trials.sh PROGRAM EXPERIMENT
set -euo pipefail
program=$1 experiment=$2
python=/usr/bin/python3

if ! "$python" -c 'import pandas' 2> /dev/null; then
    echo "pandas is not installed for $python (Debian's python3-pandas); skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" "$experiment" --repetitions 40 --seed 7 --quiet \
    --tidy-trials "$work/tidy.tsv" --summary "$work/summary.tsv"

"$python" - "$work/tidy.tsv" "$work/summary.tsv" <<'PY'
import sys
import pandas as pd
from pandas.api.types import is_numeric_dtype

tidy, summary = (pd.read_csv(path, sep="\t") for path in sys.argv[1:3])
columns = ["repetition", "staircase", "id", "trial", "run_trial", "reversals_before", "level",
           "response", "reversal"]
assert list(tidy.columns) == columns, list(tidy.columns)
assert all(is_numeric_dtype(tidy[c]) for c in columns), tidy.dtypes
assert not tidy.isna().any().any()
with open(sys.argv[1]) as f:
    assert len(tidy) == sum(1 for _ in f) - 1
assert list(tidy["run_trial"]) == list(range(len(tidy)))
assert tidy["repetition"].min() == 1 and tidy["repetition"].max() == 40
assert set(tidy["response"]) <= {0, 1} and set(tidy["reversal"]) <= {0, 1}
marked = tidy.groupby(["repetition", "staircase"])["reversal"].sum()
counted = summary.set_index(["repetition", "staircase"])["reversals"]
assert marked.reindex(counted.index, fill_value=0).equals(counted), "reversal marks differ from the summary"
PY

if command -v Rscript > /dev/null; then
    Rscript -e '
        t <- read.delim(commandArgs(TRUE)[1])
        stopifnot(identical(names(t), c("repetition", "staircase", "id", "trial", "run_trial",
                                        "reversals_before", "level", "response", "reversal")),
                  all(sapply(t, is.numeric)), nrow(t) == length(readLines(commandArgs(TRUE)[1])) - 1)
    ' "$work/tidy.tsv"
else
    echo "Rscript is not installed; R's reading not checked"
fi
