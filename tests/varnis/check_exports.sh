#!/usr/bin/env bash
# Compares the functions a built library exports with those varnis.h declares, as
# the build's listing of the header's exports (varnis/list_exports.py) names them:
# libvarnis.so through its dynamic symbol table, varnis.dll through its export table.
#   check_exports.sh LIBRARY LISTING
set -euo pipefail
lib=$1
listing=$2
declared=$(tail -n +2 "$listing" | cut -f1 | sort -u)
[ -n "$declared" ] || { echo "no export in $listing"; exit 1; }
case "$lib" in
  *.dll)
    exported=$(x86_64-w64-mingw32-objdump -p "$lib" | sed -n '/Ordinal\/Name Pointer/,/^$/p' \
      | awk 'NR > 1 && NF {print $NF}' | sort -u) ;;
  *)
    exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWiV]$/ {print $3}' \
      | grep -v -E '^_(init|fini)$' | sort -u) ;;
esac
if [ "$declared" != "$exported" ]; then
  echo "declared but not exported:"; comm -23 <(echo "$declared") <(echo "$exported")
  echo "exported but not declared:"; comm -13 <(echo "$declared") <(echo "$exported")
  exit 1
fi
echo "$(echo "$declared" | wc -l) exports match the header"
