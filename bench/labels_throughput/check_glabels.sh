#!/usr/bin/env bash
# Runs glabels-3-batch on N generated records and checks its PDF: every page
# rendered (pdftoppm) and scanned (zbarimg) gives back exactly the records'
# EAN-13 values. Prints the wall time of glabels-3-batch alone.
#   check_glabels.sh N [OUT_DIR]
set -euo pipefail
n=${1:?usage: check_glabels.sh N [OUT_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
out=${2:-$(mktemp -d "${TMPDIR:-/tmp}/glabels.XXXXXX")}
mkdir -p "$out/home"
"$here/make_glabels_doc.py" "$n" "$out"
# glabels keeps a copy of every unknown sheet under the user's configuration
# folder: give it one of its own.
start=$(date +%s%N)
HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" \
    glabels-3-batch -o "$out/glabels.pdf" "$out/labels.glabels" >"$out/glabels.log" 2>&1
end=$(date +%s%N)
pages=$(pdfinfo "$out/glabels.pdf" | awk '/^Pages:/ {print $2}')
pdftoppm -r 300 -gray -png "$out/glabels.pdf" "$out/page"
zbarimg -q "$out"/page*.png 2>/dev/null | sed 's/^EAN-13://' | sort >"$out/scanned.txt" || true
tail -n +2 "$out/records.csv" | cut -d, -f1 | sort >"$out/expected.txt"
if ! cmp -s "$out/expected.txt" "$out/scanned.txt"; then
    echo "check_glabels: scanned codes differ from the records (see $out)" >&2
    diff "$out/expected.txt" "$out/scanned.txt" | head >&2
    exit 1
fi
awk -v n="$n" -v p="$pages" -v ns="$((end - start))" 'BEGIN {
    printf "check_glabels: %d records, %d pages, all scanned; glabels-3-batch %.2f s\n", n, p, ns / 1e9 }'
