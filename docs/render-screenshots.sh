#!/usr/bin/env bash
# Redraws the README's pictures in docs/ from the program itself: the window's
# tabs after a run of an example experiment (the comparison of the staircases
# and the histogram of every staircase's estimates on their own, the graph with
# every repetition and with the median, the Sweep tab), the graph's PDF export
# and the report's first page as PNGs. Every picture is drawn anew from a fixed
# run and clock, so running it twice gives the same files. `./dev test` runs it before the tests, so a change that breaks the
# window's tour fails the build rather than leaving old pictures behind.
#   docs/render-screenshots.sh [build folder]     (default: build-test)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-test}"
cmake --build "$build" --target quorvel_screenshots >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The offscreen platform's notes on what it cannot do are kept out of the way unless the tour fails.
if ! QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 "$build/docs/quorvel_screenshots" \
    "$root/examples/three-interleaved-staircases.txt" "$work" 2>"$work/messages"; then
    cat "$work/messages" >&2
    exit 1
fi
pdftoppm -png -r 60 -singlefile "$work/graph.pdf" "$work/graph-pdf"
pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$work/report.pdf" "$work/report"
for picture in simulator analysis comparison histogram graph graph-median graph-pdf report sweep; do
    cp "$work/$picture.png" "$root/docs/$picture.png"
done
echo "Pictures written to $root/docs"
