#!/usr/bin/env bash
# tools/wine-run.sh, which runs the Windows tests under wine, against a stand-in for wine that
# plays each way a run can end. A run that never began is started once more; nothing else is.
set -u
runner="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The stand-in: the Nth start (counting from 1) does what STARTS' Nth word says.
#   ok      prints as a test program does and succeeds     fail   prints, fails with status 1
#   silent  prints nothing, status 1                       lost   wine's client error, status 1
#   crash   wine's unhandled-exception words, status 0
#   abort   the program's own last words on its error output only, status 3
cat >"$work/wine" <<'STAND_IN'
#!/usr/bin/env bash
count=$(( $(cat "$COUNTER" 2>/dev/null || echo 0) + 1 ))
echo "$count" >"$COUNTER"
read -r -a plays <<<"$STARTS"
case "${plays[count - 1]}" in
    ok) echo "Running main() $*"; exit 0 ;;
    fail) echo "Running main() $*"; echo "[  FAILED  ] 1 test"; exit 1 ;;
    silent) exit 1 ;;
    lost) echo "wine client error:0: recvmsg: Connection reset by peer" >&2; exit 1 ;;
    crash) echo "Running main()"; echo "wine: Unhandled page fault on read access" >&2; exit 0 ;;
    abort) echo "terminate called after throwing an instance of 'int'" >&2; exit 3 ;;
    *) echo "start $count was not expected" >&2; exit 99 ;;
esac
STAND_IN
chmod +x "$work/wine"

failures=0
# expect STARTS WANTED_STATUS WANTED_STARTS: runs the runner once against the stand-in.
expect() {
    export STARTS="$1" COUNTER="$work/count"
    rm -f "$COUNTER"
    bash "$runner" "$work/wine" program.exe --flag >"$work/out" 2>"$work/err"
    local status=$? starts
    starts=$(cat "$COUNTER")
    if [ "$status" -ne "$2" ] || [ "$starts" -ne "$3" ]; then
        echo "starts '$1': status $status after $starts start(s), wanted $2 after $3" >&2
        sed 's/^/    /' "$work/out" "$work/err" >&2
        failures=$((failures + 1))
    fi
}

expect "ok" 0 1
expect "fail ok" 1 1       # a test that failed is never run again
expect "silent ok" 0 2     # wine lost its server before the program began
expect "lost ok" 0 2
expect "abort ok" 3 1      # words of the program's own: it began
expect "lost fail" 1 2     # the second start's failure stands
expect "silent silent" 1 2 # at most one more start
expect "crash" 1 1         # a crash is a failure, whatever wine's status says

# The program's arguments and output pass through unchanged.
expect "lost ok" 0 2
grep -qx "Running main() program.exe --flag" "$work/out" || {
    echo "the program's output or arguments were changed:" >&2
    cat "$work/out" >&2
    failures=$((failures + 1))
}
grep -q "starting it again" "$work/err" || {
    echo "a second start was not told in the log" >&2
    failures=$((failures + 1))
}
exit $((failures > 0))
