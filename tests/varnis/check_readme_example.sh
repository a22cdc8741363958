#!/usr/bin/env bash
# The C example shown in the README is the one that is compiled and run as a test.
set -euo pipefail
readme=$1
example=$2
shown=$(awk '/<!-- example: load_varnis.c -->/{found=1; next} found && /^```c/{inside=1; next} inside && /^```/{exit} inside {print}' "$readme")
if [ "$shown" != "$(cat "$example")" ]; then
  echo "README example differs from $example"
  diff <(echo "$shown") "$example" || true
  exit 1
fi
echo "README example matches $example"
