#!/usr/bin/env bash
# The capture core follows its layout (capture/core/.clang-format) and its naming
# convention (capture/core/.clang-tidy).
#   check_core_style.sh SOURCE_DIR BUILD_DIR   (BUILD_DIR holds compile_commands.json)
set -euo pipefail
src=$1 build=$2
for tool in clang-format clang-tidy; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed; skipping the capture core's style check (./run.sh installs it)"
    exit 77
  fi
done
cd "$src/capture/core"
clang-format --dry-run -Werror ./*.cpp ./*.h
clang-tidy --quiet -p "$build" --header-filter='capture/core/' ./*.cpp 2>/dev/null
echo "capture/core: layout and names follow its .clang-format and .clang-tidy"
