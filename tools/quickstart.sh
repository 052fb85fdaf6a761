#!/usr/bin/env bash
# Installs what is missing, builds the two programs it runs, writes a sample company and runs its
# four transfers from the command line, printing their summaries and a few of the resulting rows.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
TARGETS="veltra-transfer jetdb" bash tools/build.sh
program=./build/app/veltra-transfer
sample=./build/sample-company
rm -rf "$sample"
echo "== A sample company (Import.INI beside the program points the window at it) =="
"$program" sample "$sample" --employees 200 --seed 1 --write-settings
for job in employee:EmployeeMaster.txt calc:DataCalc.txt pm:DataMasterDetail.txt \
           pd:DataVariantDetail.txt; do
    kind=${job%%:*}
    file=${job#*:}
    echo
    echo "== veltra-transfer transfer --kind $kind --text $sample/$file =="
    "$program" transfer --kind "$kind" --text "$sample/$file" --db "$sample/Melvar.mdb" \
        --separator , --year 2005 --period 4 --bank-code 002
done
echo
echo "== A few rows of [Data Calc] =="
./build/jetdb export "$sample/Melvar.mdb" "Data Calc" | sed -n 1,6p  # reads it all: no broken pipe
echo
echo "The window opens on the same company: cmake --build build --target veltra, then"
echo "./build/app/veltra (when Qt 6 is installed). Every test: bash tools/test.sh."
