#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers) and runs each
# for SECONDS seconds (default 20). Seeds are gathered at run time into build-fuzz/corpus/<target>
# (the database target starts from the shared Access fixtures); the corpora persist between
# runs, so a longer run by hand carries on where the last one stopped.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]      e.g. tools/fuzz.sh 3600 fuzz_database
#
# Exits non-zero when a target finds a crash; the crashing input is kept in
# build-fuzz/crashes/<target>/ and the target's log printed. Environment: JOBS (build jobs,
# default 2), FUZZ_BUILD (build folder, default build-fuzz), VELTRA_FIXTURES_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_database fuzz_database_write fuzz_line fuzz_settings fuzz_sql)
build="${FUZZ_BUILD:-build-fuzz}"
fixtures="${VELTRA_FIXTURES_DIR:-$PWD/../shared/fixtures/access}"

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELTRA_FUZZ=ON -DVELTRA_TESTS=OFF -DVELTRA_BENCH=OFF -DVELTRA_GUI=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${JOBS:-2}"

seed() {  # seed TARGET DIR: a few starting inputs per target
    local dir="$2"
    case "$1" in
        fuzz_database | fuzz_database_write)
            for f in "$fixtures"/*.mdb; do
                # The two large fixtures slow every execution down; the small ones cover the
                # same structures.
                [ "$(stat -c %s "$f")" -le 400000 ] && cp -n "$f" "$dir/" 2>/dev/null || true
            done
            [ -n "$(ls -A "$dir")" ] || cp "$fixtures"/*.mdb "$dir/" ;;
        fuzz_line)
            printf '\x01,00123,1,234.50,(12.5), -3 ,\xa1\xa2' >"$dir/comma"
            printf '\x02||E01||1e3||  +0.00005||' >"$dir/pipes"
            printf '\x00922337203685477.5807' >"$dir/max" ;;
        fuzz_settings)
            printf '[Path]\r\ntxtDir=C:\\in.txt\r\n[Other]\r\nKept="x"\r\n' >"$dir/plain"
            printf '; note\n[other]\nkept = \xa1\xa2 \n[PATH]\nTXTDIR=\n' >"$dir/cases"
            printf '[Other]\nKept=y' >"$dir/noeol" ;;
        fuzz_sql)
            printf "SELECT * FROM [Data Calc] WHERE [Employee#]='0012' ORDER BY No DESC;" >"$dir/select"
            printf "INSERT INTO t (a, [b c]) VALUES (1, 'x''y', #1/2/2024#, Null, True)" >"$dir/insert"
            printf "UPDATE t SET a = a + 1 * -2 WHERE b LIKE 'A*' AND NOT c IS NULL" >"$dir/update"
            printf "CREATE UNIQUE INDEX ix ON t (a, b DESC)" >"$dir/index"
            printf "CREATE TABLE t (a TEXT(10) NOT NULL, b CURRENCY, c COUNTER)" >"$dir/table"
            printf "DELETE FROM t WHERE No=2 OR [t].[x] <> \"s\" & 'u'" >"$dir/delete" ;;
    esac
}

status=0
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$corpus" "$crashes"
    [ -n "$(ls -A "$corpus")" ] || seed "$t" "$corpus"
    log="$build/$t.log"
    if "$build/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
            -max_len=1048576 -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" \
            >"$log" 2>&1; then
        execs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
        echo "$t: ${seconds}s, ${execs:-?} executions, no crash"
    else
        status=1
        echo "$t: CRASH (input in $crashes)"
        tail -n 60 "$log"
    fi
done
exit $status
