#!/usr/bin/env bash
# Checks the cross-built varnis.dll and varnisx.dll: each exports exactly the functions
# its header declares (as the Linux build's listing of its exports names them),
# imports nothing but the system's own DLLs (varnisx.dll also varnis.dll), and, loaded
# by name under Wine, passes its fixed-output checks and prints the same results as
# the Linux build.
set -euo pipefail
root=$1         # source tree
win_build=$2    # Windows build folder (bin/varnis.dll, bin/varnis_fixed_outputs.exe, ...)
linux_build=$3  # Linux build folder (lib/libvarnis.so, bin/varnis_fixed_outputs, ...)

export WINEPREFIX=$win_build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
: > "$win_build/wine.log"

check_dll() { # name (varnis, varnisx), DLLs it may import besides the system's
  local name=$1 allowed=$2
  local dll=$win_build/bin/$name.dll
  "$root/tests/varnis/check_exports.sh" "$dll" "$linux_build/$name/exports.tsv"
  local imports d
  imports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {print $3}' | sort -u)
  for d in $imports; do
    case "${d,,}" in
      kernel32.dll|msvcrt.dll|ntdll.dll|advapi32.dll|user32.dll|api-ms-win-*) ;;
      *) [[ " $allowed " == *" ${d,,} "* ]] ||
           { echo "$name.dll needs $d, which Windows does not ship"; exit 1; } ;;
    esac
  done
  echo "$name.dll imports only $(echo $imports)"

  local windows_out=$win_build/${name}_fixed_outputs_windows.txt
  local linux_out=$win_build/${name}_fixed_outputs_linux.txt
  (cd "$win_build/bin" && wine "${name}_fixed_outputs.exe" "$name.dll") 2>>"$win_build/wine.log" \
    | tr -d '\r' > "$windows_out" || { cat "$windows_out"; echo "the Windows checks of $name.dll failed"; exit 1; }
  "$linux_build/bin/${name}_fixed_outputs" "$linux_build/lib/lib$name.so" > "$linux_out"
  if ! diff -u "$linux_out" "$windows_out"; then
    echo "$name.dll prints other results than the Linux build"
    exit 1
  fi
  echo "$name.dll under Wine: $(tail -n 1 "$windows_out"); $(grep -c ': ' "$linux_out") lines identical to Linux"
}

check_dll varnis ""
check_dll varnisx "varnis.dll"
