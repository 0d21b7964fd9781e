#!/usr/bin/env bash
# Runs the README's batch examples as they are written there, from a scratch
# folder laid out like the repository's root after ./dev build, and checks the
# summaries they combine.
#   readme_examples.sh README.md PROGRAM SOURCE_ROOT
set -euo pipefail
readme=$1 program=$2 source=$3

if ! command -v parallel > /dev/null; then
    echo "GNU parallel is not installed (./dev installs it); skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/batch" "$work/libs"
ln -s "$program" "$work/build/batch/quorvel-batch"
ln -s "$source/libs/experiment" "$work/libs/experiment"
ln -s "$source/batch" "$work/batch"
ln -s "$source/examples" "$work/examples"
cd "$work"

# The fenced block after the line "<!-- example: NAME -->".
block() {
    awk -v marker="<!-- example: $1 -->" '
        $0 == marker { found = 1; next }
        found && /^```/ { if (inside) exit; inside = 1; next }
        inside' "$readme"
}

fail() {
    echo "FAILED: $*"
    exit 1
}

# expect_summary FILE TAG_NAME ROWS: one header that starts with the tag's name, then ROWS rows.
expect_summary() {
    [ -s "$1" ] || fail "$1 is missing or empty"
    [ "$(head -n 1 "$1")" = "$2	repetition	staircase	ID	estimate	reversals	trials	stop" ] \
        || fail "$1 has the header $(head -n 1 "$1")"
    [ "$(grep -c '^repetition\|	repetition	' "$1")" -eq 1 ] || fail "$1 repeats its header"
    [ "$(tail -n +2 "$1" | wc -l)" -eq "$3" ] || fail "$1 has $(tail -n +2 "$1" | wc -l) rows, not $3"
}

for name in sweep parallel; do
    [ -n "$(block "$name")" ] || fail "the README has no example \"$name\""
done

bash -euo pipefail -c "$(block parallel)"
# 16 seeds, 100 repetitions of 3 staircases each.
expect_summary seeds/summary.tsv seed 4800
[ "$(cut -f 1 seeds/summary.tsv | tail -n +2 | sort -un | tr '\n' ' ')" = "$(seq 1 16 | tr '\n' ' ')" ] \
    || fail "the seeds column does not hold the seeds 1 to 16"
# Independent seeds: no two runs alike.
[ "$(for f in seeds/seed-*.tsv; do cut -f 2- "$f" | md5sum; done | sort -u | wc -l)" -eq 16 ] \
    || fail "two seeds gave the same summary"

bash -euo pipefail -c "$(block sweep)"
expect_summary sweep/summary.tsv step 2000

rm -f seeds/*
for task in 1 2; do
    SLURM_ARRAY_TASK_ID=$task bash -euo pipefail batch/seeds.sbatch
done
awk 'FNR > 1 || NR == 1' seeds/seed-*.tsv > seeds/summary.tsv
expect_summary seeds/summary.tsv seed 6000

echo "The README's batch examples ran as written."
