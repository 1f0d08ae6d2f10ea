#!/usr/bin/env bash
# Measures disable-movies against the floor of any dynamically linked
# program (/bin/true) and what a user would write instead (three mv -n in a
# shell): median wall time with hyperfine, instructions with callgrind; then
# the time of its one pass over folders of 10,000 and 100,000 entries.
#
#   bench/bench.sh [path/to/disable-movies]     (needs hyperfine and valgrind)
#
# Every run starts in a folder where the three movies were just recreated,
# with no controlling terminal, so that the pause returns at once.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/default/disable-movies}")
films="attract_movie_french_pal.vp6 zulogo_french_pal.vp6 psa_french_pal.vp6"
mvn="for f in $films; do mv -n \$f !\$f; done"
prep="rm -f ./!* && touch $films"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Median wall time and standard deviation in ms of each command given with -p PREP COMMAND: in one
# hyperfine run, so that all see the same machine.
medianes() {
    local args=()
    while (($#)); do
        args+=(--prepare "sh -c '$2'" "$3")
        shift 3
    done
    setsid -w hyperfine -N --style none --warmup 20 --min-runs "$runs" \
        --export-csv "$work/t.csv" "${args[@]}" >/dev/null 2>&1 </dev/null
    awk -F, 'NR > 1 { printf "%.3f %.3f\n", $4 * 1000, $3 * 1000 }' "$work/t.csv"
}

# Instructions of one run of COMMAND after PREP, summed over every process it
# starts: instructions PREP COMMAND...
instructions() {
    sh -c "$1"
    shift
    setsid -w valgrind --tool=callgrind --trace-children=yes --callgrind-out-file=/dev/null \
        "$@" 2>&1 >/dev/null </dev/null | awk '/Collected/ { n += $4 } END { print n }'
}

ligne() { # name, "ms sigma", instructions, then /bin/true's "ms sigma" and instructions
    awk -v c="$1" -v t="${2% *}" -v s="${2#* }" -v n="$3" -v t0="${4% *}" -v n0="$5" 'BEGIN {
        printf "| %s | %.3f ms | %.3f ms | %.2fx | %d | %.3fx |\n", c, t, s, t / t0, n, n / n0 }'
}

mkdir f && cd f
runs=1000
vide="rm -f ./!* ./*.vp6" # the same folder, without a movie
mapfile -t t < <(medianes -p "$prep" "$exe" -p "$prep" /bin/true -p "$prep" "sh -c '$mvn'" \
    -p "$vide" "$exe")
i=("$(instructions "$prep" "$exe")" "$(instructions "$prep" /bin/true)"
    "$(instructions "$prep" sh -c "$mvn")" "$(instructions "$vide" "$exe")")

echo "| command | median wall time | σ | vs /bin/true | instructions | vs /bin/true |"
echo "|---|---:|---:|---:|---:|---:|"
ligne "disable-movies" "${t[0]}" "${i[0]}" "${t[1]}" "${i[1]}"
ligne "/bin/true" "${t[1]}" "${i[1]}" "${t[1]}" "${i[1]}"
ligne "three mv -n in sh" "${t[2]}" "${i[2]}" "${t[1]}" "${i[1]}"
ligne "disable-movies, nothing to rename" "${t[3]}" "${i[3]}" "${t[1]}" "${i[1]}"

echo
echo "| entries in the folder | median wall time | per entry |"
echo "|---:|---:|---:|"
runs=30
for n in 10000 100000; do
    cd "$work" && rm -rf f && mkdir f && cd f
    seq -f "autre_%06g.vp6" "$n" | xargs touch
    m=$(medianes -p "$prep" "$exe")
    awk -v n="$n" -v m="${m% *}" -v t="${t[0]% *}" \
        'BEGIN { printf "| %d | %.3f ms | %.0f ns |\n", n, m, (m - t) * 1e6 / n }'
done

echo
echo "$(uname -srm), $(nproc) cores, $(df -T "$work" | awk 'NR == 2 { print $2 }')," \
    "$(hyperfine --version), valgrind $(valgrind --version | cut -d- -f2)"
echo "ldd $exe: $(ldd "$exe" | awk '/=>/ { printf "%s ", $1 }')"
