#!/bin/sh
# Compact on the full-load sample company: the fresh file, then the file after N calculation
# transfers: size before and after, wall and CPU time and peak memory of `jetdb compact`, and
# the checks of the result. Run by hand from the build folder:
#   sh ../bench/compact_full_load.sh [EMPLOYEES] [TRANSFERS] [DIR]
# (defaults 32767, 6, /tmp/compact_bench). The company is generated once under DIR and reused.
set -e
employees=${1:-32767}
transfers=${2:-6}
dir=${3:-/tmp/compact_bench}
build=$(pwd)
sample="$dir/sample-$employees"
if [ ! -f "$sample/Melvar.mdb" ]; then
    rm -rf "$sample"
    "$build/app/veltra-transfer" sample "$sample" --employees "$employees" --seed 1 --full >/dev/null
fi
work="$dir/work"
rm -rf "$work"
mkdir -p "$work"
cp "$sample"/* "$work"/
cd "$work"

measure() {
    rm -f Compacted.mdb
    /usr/bin/time -f "$1: %e s wall, %U s user + %S s system, peak %M KB" \
        "$build/jetdb" compact Melvar.mdb Compacted.mdb 2>&1 >compact.out | grep -v '^table \|^  [0-9]'
    cat compact.out
}

measure "compact, fresh file"
for i in $(seq 1 "$transfers"); do
    "$build/app/veltra-transfer" transfer --kind calc --text DataCalc.txt --db Melvar.mdb \
        --separator , >/dev/null
done
echo "after $transfers calculation transfers: $(stat -c %s Melvar.mdb) bytes"
"$build/jetdb" space Melvar.mdb | tail -5
measure "compact, after $transfers transfers"
"$build/jetdb" space Compacted.mdb | tail -5
/usr/bin/time -f "jetdb check alone: %e s, peak %M KB" "$build/jetdb" check Compacted.mdb | tail -1
sh "$build/../../shared/validator/validate.sh" Compacted.mdb | tail -1
