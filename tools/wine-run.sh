#!/usr/bin/env bash
# Runs one cross-built program under wine for ctest:  wine-run.sh WINE PROGRAM [ARGUMENT...]
#
# Two of wine's ways are mended here, so that a status means what it would on Windows:
# - A program that dies of an unhandled exception ends, under wine's debugger, with status 0.
#   Wine's words for it ("wine: Unhandled ...") then turn the status into a failure.
# - Now and then, with programs starting and ending in quick succession, wine's client loses its
#   connection to the wine server before the program's own code runs. The program ends at once,
#   failing, having printed nothing, or nothing but wine's "wine client error:... recvmsg:
#   Connection reset by peer". That run tested nothing, so the program is started once more, and
#   the log says so. A test program's first words (gtest's "Running main()") come before any test
#   runs, so a program that printed anything is never run again.
set -u
wine="$1"
shift
out="$(mktemp)" err="$(mktemp)" || exit 1
trap 'rm -f "$out" "$err"' EXIT
run() {
    "$wine" "$@" >"$out" 2>"$err"
    status=$?
}
run "$@"
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && ! grep -qv '^wine client error:' "$err"; then
    echo "wine-run.sh: the program ended with status $status before it ran (wine lost its" \
        "server); starting it again" >&2
    cat "$err" >&2
    run "$@"
fi
cat "$out"
cat "$err" >&2
if [ "$status" -eq 0 ] && grep -q '^wine: Unhandled' "$err"; then
    echo "wine-run.sh: the program died of an unhandled exception" >&2
    status=1
fi
exit "$status"
