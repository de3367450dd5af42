# shellcheck shell=bash
# One row of the table scripts/bench prints, appended to the file that
# VANTOR_BENCH_TABLE names (nothing when it is unset): measure, ours, the
# reference, ratio, goal, verdict. Sourced by the bench scripts.
#
#   bench_row "hive load, 16 MB" "210 ms" "cat 4.1 ms" "51.2" "-" ""
bench_row() {
    [ -n "${VANTOR_BENCH_TABLE:-}" ] || return 0
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "${6:-}" >>"$VANTOR_BENCH_TABLE"
}
