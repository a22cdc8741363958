#!/usr/bin/env bash
# The library keeps no mutable object of static storage duration (at namespace scope
# or as a static local) except the noise generator's state and its lock: every other
# routine holds its working values in the call, so calls on several threads at once
# never share them. Reads the symbol tables of the library's object files and lists
# the objects in writable data sections (.data, .bss and their thread-local kin).
#   check_library_state.sh ARCHIVE   (the static archive of the library's objects)
set -euo pipefail
archive=$1
# "member.o name" for every writable object; the personality reference that the
# compiler emits for exception handling is not an object of ours.
objects=$(objdump -t "$archive" | awk '
  /^[^ ]+\.o:/ { sub(":", "", $1); member = $1; next }
  / O \.(data|bss|tdata|tbss)/ && !/ O \.data\.rel\.ro/ && !/DW\.ref\.__gxx_personality_v0/ {
    print member, $NF }' | c++filt)
allowed='^noise_generation\.cpp\.o varnis::\(anonymous namespace\)::g_generator(_lock)?$'
unexpected=$(echo "$objects" | grep -v -E "$allowed" | grep -v '^$' || true)
if [ -n "$unexpected" ]; then
  echo "mutable objects of static storage duration besides the noise generator's state:"
  echo "$unexpected"
  exit 1
fi
# The generator's state must be seen, or the symbol table was not read as intended.
if ! echo "$objects" | grep -q -E "$allowed"; then
  echo "the noise generator's state is not among the objects read from $archive"
  exit 1
fi
echo "only the noise generator keeps state: $(echo "$objects" | grep -c -E "$allowed") objects"
