#!/usr/bin/env bash
# Compares the functions a built library exports with those its header declares:
# a .so through its dynamic symbol table, a .dll through its export table.
#   check_exports.sh LIBRARY HEADER [EXPORT_MACRO (default VARNIS_API)]
set -euo pipefail
lib=$1
header=$2
macro=${3:-VARNIS_API}
declared=$(grep -oE "^${macro}[^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\\(" "$header" \
  | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\($/\1/' | sort -u)
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
