#!/usr/bin/env bash
# Fails when a file includes a header from a folder above its own. The layers, lowest first, are
# defined here and only here; folders on one line are side by side and include none of each
# other. A folder's tests (tests/<folder>) may include what the folder may, plus tests/support.
set -euo pipefail
cd "$(dirname "$0")/.."

LAYERS='
jet
report
text
data
form
layout settings data_sources
import/employee import/payroll
app/logic
app/cli app/window app/window_win32
'

python3 - "$LAYERS" <<'PY'
import os, re, sys

rank = {}
for level, line in enumerate(l for l in sys.argv[1].splitlines() if l.strip()):
    for folder in line.split():
        rank[folder] = level

def folder_of(path):
    """The layer folder a path belongs to: its longest listed prefix (jet/tools is in jet)."""
    parts = path.split('/')
    for n in range(len(parts) - 1, 0, -1):
        candidate = '/'.join(parts[:n])
        if candidate in rank:
            return candidate
    return None

include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
failures = []
for top in [f for f in rank if '/' not in f] + ['import', 'app', 'tests']:
    for root, _, files in os.walk(top):
        for name in files:
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(root, name)
            own = folder_of(path[len('tests/'):] if path.startswith('tests/') else path)
            if own is None:
                continue
            with open(path, encoding='utf-8') as f:
                for number, text in enumerate(f, 1):
                    m = include.match(text)
                    if not m:
                        continue
                    other = folder_of(m.group(1))
                    if other is None or other == own:
                        continue
                    if rank[other] >= rank[own]:
                        failures.append(f'{path}:{number}: {own} includes {m.group(1)} '
                                        f'({other} is not below {own})')
for line in failures:
    print(line)
if failures:
    print(f'{len(failures)} include(s) against the layer order in tools/check_layers.sh')
    sys.exit(1)
print('Includes follow the layer order: ' + ' < '.join(
    ', '.join(f for f in rank if rank[f] == level) for level in sorted(set(rank.values()))))
PY
