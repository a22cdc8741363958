#!/usr/bin/env bash
# Runs every shell block of a Markdown manual that is marked for testing (a line
# "<!-- test -->" right before a block opened with "```sh"), each in a fresh scratch
# folder in which "build" leads to the build tree, and fails on the first block that
# fails.
#   run_manual_commands.sh MANUAL.md BUILD_DIR
set -euo pipefail
manual=$1 build=$(cd "$2" && pwd)
# The commands are meant for a Debian system: its own python3 (with python3-numpy from
# the package list) comes first, not an interpreter of a user's own set-up.
export PATH=/usr/bin:$PATH
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
blocks=0 state=text
while IFS= read -r line || [ -n "$line" ]; do
  case $state in
    text)   [ "$line" = "<!-- test -->" ] && state=marked ;;
    marked) if [ "$line" = '```sh' ]; then
              blocks=$((blocks + 1)); state=block
              : > "$scratch/block$blocks.sh"
            else
              echo "$manual: a test marker is not followed by a \`\`\`sh block" >&2; exit 1
            fi ;;
    block)  if [ "$line" = '```' ]; then state=text
            else printf '%s\n' "$line" >> "$scratch/block$blocks.sh"; fi ;;
  esac
done < "$manual"
[ $state = text ] || { echo "$manual: unterminated test block" >&2; exit 1; }
[ $blocks -gt 0 ] || { echo "$manual: no block is marked for testing" >&2; exit 1; }
for i in $(seq 1 $blocks); do
  dir="$scratch/run$i"; mkdir "$dir"; ln -s "$build" "$dir/build"
  echo "--- block $i:"; cat "$scratch/block$i.sh"
  if ! (cd "$dir" && bash -euo pipefail "$scratch/block$i.sh"); then
    echo "block $i of $manual failed" >&2; exit 1
  fi
done
echo "$blocks blocks of $manual ran"
