#!/usr/bin/env bash
# Measures disable-movies, the dynamic build and the static one, against the
# floor of any dynamically linked program (/bin/true) and what a user would
# write instead (three mv -n in a shell): median wall time with hyperfine,
# instructions with callgrind; then the time of the dynamic build's one pass
# over folders of 10,000 and 100,000 entries; then the system calls of one run
# of each build, with strace. Last, it checks the bounds each build keeps on
# its instructions, and exits non-zero if one is broken.
#
#   bench/bench.sh [dynamic [static]]     (needs hyperfine, valgrind and strace)
#
# The builds default to build/default/disable-movies and build/linux/disable-movies;
# without the static one, its rows are left out. Every run starts in a folder
# where the three movies were just recreated, with no controlling terminal, so
# that the pause returns at once.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/default/disable-movies}")
statique=$(realpath -m "${2:-build/linux/disable-movies}")
if [[ ! -f $statique ]]; then
    echo "no static build at $statique: its rows and its bound are left out"
    statique=
fi
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

# One run of COMMAND after PREP, with no controlling terminal and nothing on
# stdin, as in hyperfine: seul PREP COMMAND...
seul() {
    sh -c "$1"
    shift
    setsid -w "$@" </dev/null
}

# Instructions of one run of COMMAND after PREP, summed over every process it
# starts: instructions PREP COMMAND...
instructions() {
    seul "$1" valgrind --tool=callgrind --trace-children=yes --callgrind-out-file=/dev/null \
        "${@:2}" 2>&1 >/dev/null | awk '/Collected/ { n += $4 } END { print n }'
}

# System calls of one run of COMMAND after PREP, every process counted, its
# own execve included: appels PREP COMMAND...
appels() {
    seul "$1" strace -f -c -o "$work/s.txt" "${@:2}" >/dev/null
    awk '$NF == "total" { print $4 }' "$work/s.txt"
}

# One row: name, "ms sigma" (empty for a table without times), a count, then
# /bin/true's "ms sigma" and count.
ligne() {
    awk -v c="$1" -v t="${2% *}" -v s="${2#* }" -v n="$3" -v t0="${4% *}" -v n0="$5" 'BEGIN {
        printf "| %s |", c
        if (t != "") printf " %.3f ms | %.3f ms | %.2fx |", t, s, t / t0
        printf " %d | %.3fx |\n", n, n / n0 }'
}

# Checks that a build's instructions stay within its bound, a multiple of
# /bin/true's: borne name instructions /bin/true's bound
borne() {
    awk -v c="$1" -v n="$2" -v n0="$3" -v b="$4" 'BEGIN { r = n / n0
        printf "bound: %s %.3fx <= %sx: %s\n", c, r, b, r <= b ? "ok" : "BROKEN"; exit r > b }'
}

mkdir f && cd f
runs=1000
vide="rm -f ./!* ./*.vp6" # the same folder, without a movie
cas=(-p "$prep" "$exe" -p "$prep" /bin/true -p "$prep" "sh -c '$mvn'" -p "$vide" "$exe")
[[ -z $statique ]] || cas+=(-p "$prep" "$statique" -p "$vide" "$statique")
mapfile -t t < <(medianes "${cas[@]}")
i=("$(instructions "$prep" "$exe")" "$(instructions "$prep" /bin/true)"
    "$(instructions "$prep" sh -c "$mvn")" "$(instructions "$vide" "$exe")")
[[ -z $statique ]] || i+=("$(instructions "$prep" "$statique")" "$(instructions "$vide" "$statique")")

echo "| command | median wall time | σ | vs /bin/true | instructions | vs /bin/true |"
echo "|---|---:|---:|---:|---:|---:|"
ligne "disable-movies" "${t[0]}" "${i[0]}" "${t[1]}" "${i[1]}"
ligne "/bin/true" "${t[1]}" "${i[1]}" "${t[1]}" "${i[1]}"
ligne "three mv -n in sh" "${t[2]}" "${i[2]}" "${t[1]}" "${i[1]}"
ligne "disable-movies, nothing to rename" "${t[3]}" "${i[3]}" "${t[1]}" "${i[1]}"
if [[ -n $statique ]]; then
    ligne "disable-movies, static" "${t[4]}" "${i[4]}" "${t[1]}" "${i[1]}"
    ligne "disable-movies, static, nothing to rename" "${t[5]}" "${i[5]}" "${t[1]}" "${i[1]}"
fi

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

# What the kernel is asked for in one full run: the static build has no
# loader to open and map the C library.
echo
echo "| build | system calls | vs /bin/true |"
echo "|---|---:|---:|"
cd "$work" && rm -rf f && mkdir f && cd f
a=("$(appels "$prep" "$exe")" "$(appels "$prep" /bin/true)")
ligne "disable-movies" "" "${a[0]}" "" "${a[1]}"
[[ -z $statique ]] || ligne "disable-movies, static" "" "$(appels "$prep" "$statique")" "" "${a[1]}"
ligne "/bin/true" "" "${a[1]}" "" "${a[1]}"

echo
echo "$(uname -srm), $(nproc) cores, $(df -T "$work" | awk 'NR == 2 { print $2 }')," \
    "$(hyperfine --version), valgrind $(valgrind --version | cut -d- -f2)," \
    "strace $(strace -V | awk 'NR == 1 { print $4 }')"
echo "ldd $exe: $(ldd "$exe" | awk '/=>/ { printf "%s ", $1 }')"

echo
casse=0
borne "dynamic" "${i[0]}" "${i[1]}" 1.06 || casse=1
[[ -z $statique ]] || borne "static" "${i[4]}" "${i[1]}" 0.1 || casse=1
exit "$casse"
