#!/usr/bin/env bash
# Redraws the README's pictures in docs/ from the program itself: the window's
# three tabs after a run of an example experiment, and the graph's PDF export
# as a PNG. `./dev test` runs it after the tests, so a change that breaks the
# window's tour fails the build rather than leaving old pictures behind.
#   docs/render-screenshots.sh [build folder]     (default: build-test)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-test}"
cmake --build "$build" --target quorvel_screenshots >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 \
    "$build/docs/quorvel_screenshots" "$root/libs/experiment/three-interleaved-staircases.txt" "$work"
pdftoppm -png -r 60 -singlefile "$work/graph.pdf" "$work/graph-pdf"
for picture in simulator analysis graph graph-pdf; do
    cp "$work/$picture.png" "$root/docs/$picture.png"
done
echo "Pictures written to $root/docs"
