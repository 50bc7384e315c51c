#!/usr/bin/env bash
# Labels per second from a SQLite table into a PDF: this program's batch mode
# against glabels-3-batch on the same records and sheet (A4, 3 x 9 labels of
# 63.5 x 29.6 mm, one line of Chinese text and the record's EAN-13 value),
# side by side in one run. Prints wall time, records per second and peak
# memory of both and the throughput ratio; checks that both PDFs have a page
# per 27 records.
#   run.sh [BUILD_DIR] [N ...]        (default: build, 10000 100000)
# glabels-3-batch runs on every N up to GLABELS_MAX (default 10000); above
# that its time is extrapolated linearly from its largest run, and said so.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000)
glabels_max=${GLABELS_MAX:-10000}
prog="$build/bin/labelprint"
[ -x "$prog" ] || { echo "run.sh: build labelprint first ($prog)" >&2; exit 1; }
command -v glabels-3-batch >/dev/null || { echo "run.sh: glabels-3-batch missing (apt-get install glabels)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/labels_throughput.XXXXXX")
trap 'rm -rf "$work"' EXIT

# wall seconds and peak RSS (MB) of a command, from GNU time.
measure() {
    local log=$1
    shift
    /usr/bin/time -v -o "$log.time" "$@" >"$log" 2>&1 || { cat "$log" "$log.time" >&2; return 1; }
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; wall = s }
                /Maximum resident set size/ { rss = $2 / 1024 }
                END { printf "%.3f %.1f\n", wall, rss }' "$log.time"
}

pages_of() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

printf '%-8s %-16s %9s %10s %9s %7s\n' records program wall_s records/s peak_MB pages
last_glabels_n=0
last_glabels_s=0
for n in "${sizes[@]}"; do
    dir="$work/$n"
    mkdir -p "$dir/home"
    "$here/make_glabels_doc.py" "$n" "$dir"
    expected_pages=$(((n + 26) / 27))

    read -r our_s our_mb < <(measure "$dir/ours.log" env -u DISPLAY QT_QPA_PLATFORM=offscreen \
        "$prog" --db "$dir/labels.db" --table labels --barcode barcode --name name --pdf "$dir/ours.pdf")
    our_pages=$(pages_of "$dir/ours.pdf")
    [ "$our_pages" -eq "$expected_pages" ] || { echo "run.sh: labelprint made $our_pages pages, expected $expected_pages" >&2; exit 1; }
    printf '%-8s %-16s %9.2f %10.0f %9.1f %7s\n' "$n" labelprint "$our_s" "$(echo "$n / $our_s" | bc -l)" "$our_mb" "$our_pages"

    if [ "$n" -le "$glabels_max" ]; then
        read -r gl_s gl_mb < <(measure "$dir/glabels.log" env HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" \
            glabels-3-batch -o "$dir/glabels.pdf" "$dir/labels.glabels")
        gl_pages=$(pages_of "$dir/glabels.pdf")
        [ "$gl_pages" -eq "$expected_pages" ] || { echo "run.sh: glabels made $gl_pages pages, expected $expected_pages" >&2; exit 1; }
        printf '%-8s %-16s %9.2f %10.0f %9.1f %7s\n' "$n" glabels-3-batch "$gl_s" "$(echo "$n / $gl_s" | bc -l)" "$gl_mb" "$gl_pages"
        last_glabels_n=$n
        last_glabels_s=$gl_s
        note=measured
    else
        [ "$last_glabels_n" -gt 0 ] || { echo "run.sh: no glabels run to extrapolate from" >&2; exit 1; }
        gl_s=$(echo "$last_glabels_s * $n / $last_glabels_n" | bc -l)
        printf '%-8s %-16s %9.2f %10.0f %9s %7s\n' "$n" glabels-3-batch "$gl_s" "$(echo "$n / $gl_s" | bc -l)" - \
            "(extrapolated from $last_glabels_n records)"
        note="glabels extrapolated"
    fi
    printf '%-8s throughput ratio labelprint / glabels-3-batch: %.1fx (%s)\n' "$n" "$(echo "$gl_s / $our_s" | bc -l)" "$note"
done
