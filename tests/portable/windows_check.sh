#!/usr/bin/env bash
# Checks a cross-built varnis.dll: it exports exactly the functions varnis.h declares
# (as the Linux build's listing of its exports names them),
# imports nothing but the system's own DLLs, and, loaded by name under Wine, passes
# the fixed-output checks and prints the same results as the Linux build. Then the
# same for varnisx.dll, which may import varnis.dll besides.
set -euo pipefail
root=$1         # source tree
win_build=$2    # Windows build folder (bin/varnis.dll, bin/varnis_fixed_outputs.exe)
linux_build=$3  # Linux build folder (lib/libvarnis.so, bin/varnis_fixed_outputs)

dll=$win_build/bin/varnis.dll
"$root/tests/varnis/check_exports.sh" "$dll" "$linux_build/varnis/exports.tsv"

imports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {print $3}' | sort -u)
for d in $imports; do
  case "${d,,}" in
    kernel32.dll|msvcrt.dll|ntdll.dll|advapi32.dll|user32.dll|api-ms-win-*) ;;
    *) echo "varnis.dll needs $d, which Windows does not ship"; exit 1 ;;
  esac
done
echo "varnis.dll imports only system DLLs: $(echo $imports)"

export WINEPREFIX=$win_build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
windows_out=$win_build/fixed_outputs_windows.txt
linux_out=$win_build/fixed_outputs_linux.txt
(cd "$win_build/bin" && wine varnis_fixed_outputs.exe varnis.dll) 2>"$win_build/wine.log" \
  | tr -d '\r' > "$windows_out" || { cat "$windows_out"; echo "the Windows checks failed"; exit 1; }
"$linux_build/bin/varnis_fixed_outputs" "$linux_build/lib/libvarnis.so" > "$linux_out"
if ! diff -u "$linux_out" "$windows_out"; then
  echo "the Windows build prints other results than the Linux build"
  exit 1
fi
echo "Windows under Wine: $(tail -n 1 "$windows_out"); $(grep -c ': ' "$linux_out") lines identical to Linux"

# The companion library: varnisx.dll beside varnis.dll, loaded by name the same way.
xdll=$win_build/bin/varnisx.dll
"$root/tests/varnis/check_exports.sh" "$xdll" "$linux_build/varnisx/exports.tsv"
ximports=$(x86_64-w64-mingw32-objdump -p "$xdll" | awk '/DLL Name:/ {print $3}' | sort -u)
for d in $ximports; do
  case "${d,,}" in
    varnis.dll|kernel32.dll|msvcrt.dll|ntdll.dll|advapi32.dll|user32.dll|api-ms-win-*) ;;
    *) echo "varnisx.dll needs $d, which neither Windows nor Varnis ships"; exit 1 ;;
  esac
done
echo "varnisx.dll imports only varnis.dll and system DLLs: $(echo $ximports)"
xwindows_out=$win_build/varnisx_fixed_outputs_windows.txt
xlinux_out=$win_build/varnisx_fixed_outputs_linux.txt
(cd "$win_build/bin" && wine varnisx_fixed_outputs.exe varnisx.dll) 2>>"$win_build/wine.log" \
  | tr -d '\r' > "$xwindows_out" || { cat "$xwindows_out"; echo "the Windows checks of varnisx.dll failed"; exit 1; }
"$linux_build/bin/varnisx_fixed_outputs" "$linux_build/lib/libvarnisx.so" > "$xlinux_out"
if ! diff -u "$xlinux_out" "$xwindows_out"; then
  echo "varnisx.dll prints other results than the Linux build"
  exit 1
fi
echo "varnisx.dll under Wine: $(tail -n 1 "$xwindows_out"); $(grep -c ': ' "$xlinux_out") lines identical to Linux"
