#!/usr/bin/env bash
# Builds the API reference with warnings as errors and checks that every export of
# the header has a documented entry on its family's page.
#   check_reference.sh LISTING DOXYFILE OUTPUT_DIR [EXPORTS]
# LISTING is the build's listing of the header's exports (varnis/list_exports.py);
# EXPORTS the number of exports the header must declare (92, Varnis's, by default).
set -euo pipefail
listing=$1 doxyfile=$2 out=$3 expected=${4:-92}
if ! command -v doxygen >/dev/null; then
  echo "doxygen is not installed; skipping the API reference check (./run.sh installs it)"
  exit 77
fi
rm -rf "$out"; mkdir -p "$out"
status=0
{ cat "$doxyfile"; echo "OUTPUT_DIRECTORY = $out"; echo "WARN_LOGFILE = $out/warnings.log"
  echo "WARN_AS_ERROR = FAIL_ON_WARNINGS"; echo "WARN_IF_UNDOCUMENTED = YES"; } |
  doxygen - || status=1
if [ -s "$out/warnings.log" ]; then
  echo "Doxygen warnings:"; cat "$out/warnings.log"; status=1
fi
[ $status -eq 0 ] || { echo "The API reference does not build cleanly."; exit 1; }
python3 - "$listing" "$out/xml" "$expected" <<'PY'
import glob, sys
import xml.etree.ElementTree as ET
listing, xmldir, expected = sys.argv[1], sys.argv[2], int(sys.argv[3])
exports = [line.split('\t')[0] for line in open(listing).read().splitlines()[1:]]
documented = {}
for f in glob.glob(xmldir + '/group__*.xml'):
    comp = ET.parse(f).getroot().find('compounddef')
    for md in comp.iter('memberdef'):
        if md.get('kind') != 'function':
            continue
        text = ''.join(md.find('briefdescription').itertext()) + \
               ''.join(md.find('detaileddescription').itertext())
        if text.strip():
            documented[md.findtext('name')] = comp.findtext('title')
missing = [e for e in exports if e not in documented]
print(f"{len(exports)} exports in the header, {len(exports) - len(missing)} documented in a family group")
if len(set(exports)) != expected:
    print(f"expected {expected} distinct exports, found {len(set(exports))}"); sys.exit(1)
if missing:
    print("without a documented entry in a family group: " + ", ".join(missing)); sys.exit(1)
PY
