#!/usr/bin/env bash
# Set-up, build and entry points of Varnis and Ticklog.
#   ./run.sh build     install what is missing, configure and build into build/
#   ./run.sh test      build the normal and the sanitizer configurations, run every test
#   ./run.sh bench     build and run the benchmarks (ratios against a streaming pass, and
#                      the Python package's sweeps against C++ and NumPy), ending with
#                      the table of the stability routines' speed targets
#   ./run.sh fuzz [s]  build the library's fuzz targets and run each for s seconds (600)
#   ./run.sh windows   cross-build varnis.dll and test it under Wine
#   ./run.sh demo      build, then start Ticklog with COM1 on a simulated instrument
#   ./run.sh docs      build the API reference into build/docs/html
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SANITIZE_DIR=${SANITIZE_DIR:-$BUILD_DIR/sanitize}
JOBS=${JOBS:-$(nproc)}

# Debian packages the build, the tests and the tools need.
PACKAGES=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  locales
  python3-numpy python3-pytest python3-matplotlib python3-pip python3-venv
  clang libclang-rt-14-dev clang-format clang-tidy
  doxygen pandoc
  xvfb xdotool x11-apps netpbm
  chromium
)

# What the Windows build of the library and its test under Wine need.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine64 wine)
WINDOWS_DIR=${WINDOWS_DIR:-$BUILD_DIR/windows}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() { # package names (default: PACKAGES)
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${PACKAGES[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}

configure_and_build() { # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

build() {
  install_packages
  configure_and_build "$BUILD_DIR"
}

windows() {
  install_packages "${WINDOWS_PACKAGES[@]}"
  cmake -S "$ROOT" -B "$WINDOWS_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$WINDOWS_DIR" -j "$JOBS"
  echo "=== tests: varnis.dll under Wine ==="
  "$ROOT/tests/portable/windows_check.sh" "$ROOT" "$WINDOWS_DIR" "$BUILD_DIR"
}

FUZZ_DIR=${FUZZ_DIR:-$BUILD_DIR/fuzz}

# Builds the libFuzzer targets with clang, then runs each one for the given seconds
# on its working corpus in the fuzz folder, which starts from the committed seeds
# (tests/fuzz/corpus, copied so that runs never write into the source tree). Fails on
# any crash, overrun, sanitizer report or input slower than the time-out. Prints the
# final coverage and the calls per export; the library's own messages on standard
# output are dropped.
fuzz() { # seconds per target
  cmake -S "$ROOT" -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNIS_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$FUZZ_DIR" -j "$JOBS"
  local status=0
  for target in "$FUZZ_DIR"/bin/varnis_fuzz_*; do
    local name corpus
    name=$(basename "$target")
    corpus="$FUZZ_DIR/corpus/$name"
    mkdir -p "$corpus"
    if [ -d "$ROOT/tests/fuzz/corpus/$name" ]; then cp "$ROOT/tests/fuzz/corpus/$name"/* "$corpus"/; fi
    echo "=== fuzz: $name for $1 s ==="
    if ! (cd "$FUZZ_DIR" && VARNIS_FUZZ_COUNTS=1 \
          ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
          timeout $(( $1 + 300 )) "$target" -max_total_time="$1" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
          "$corpus" >/dev/null 2>"$FUZZ_DIR/$name.log"); then
      tail -n 60 "$FUZZ_DIR/$name.log"
      status=1
    fi
    grep -E '^(calls|Done)|DONE ' "$FUZZ_DIR/$name.log" || true
  done
  return $status
}

TSAN_DIR=${TSAN_DIR:-$BUILD_DIR/tsan}

# The library and its thread tests under ThreadSanitizer: only those programs are built.
thread_tests() {
  cmake -S "$ROOT" -B "$TSAN_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNIS_TSAN=ON >/dev/null
  cmake --build "$TSAN_DIR" -j "$JOBS" --target varnis_threads_test varnis_noise_generation_test
  echo "=== tests: ThreadSanitizer ==="
  TSAN_OPTIONS=halt_on_error=1 "$TSAN_DIR/bin/varnis_threads_test" &&
    TSAN_OPTIONS=halt_on_error=1 "$TSAN_DIR/bin/varnis_noise_generation_test" --gtest_filter='*Concurrent*'
}

AVX2_DIR=${AVX2_DIR:-$BUILD_DIR/avx2}

# The stability loops as a processor without AVX-512 runs them (four-double vectors):
# the library built for AVX2 alone, without run-time clones, and the kernel tests on it.
# The normal build on an AVX-512 machine runs only the eight-double loops.
avx2_tests() {
  if ! grep -qw avx2 /proc/cpuinfo; then echo "=== no AVX2 here: its kernel tests skipped ==="; return 0; fi
  cmake -S "$ROOT" -B "$AVX2_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNIS_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-mavx2 -DVARNIS_NO_VECTOR_CLONES" >/dev/null
  local tests="allan hadamard modified_allan total_variance gaps time_interval_error sliding_sum"
  local targets="" t status=0
  for t in $tests; do targets="$targets varnis_${t}_test"; done
  # shellcheck disable=SC2086
  cmake --build "$AVX2_DIR" -j "$JOBS" --target $targets
  echo "=== tests: stability kernels built for AVX2 without AVX-512 ==="
  for t in $tests; do "$AVX2_DIR/bin/varnis_${t}_test" --gtest_brief=1 || status=1; done
  return $status
}

run_tests() { # dir, label
  echo "=== tests: $2 ==="
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$1" --output-on-failure -j "$JOBS"
}

cmd=${1:-build}
shift || true
case "$cmd" in
  build)
    build
    ;;
  test)
    build
    configure_and_build "$SANITIZE_DIR" -DVARNIS_SANITIZE=ON -DVARNIS_BENCH=OFF
    status=0
    run_tests "$BUILD_DIR" "normal build" || status=1
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_tests "$SANITIZE_DIR" "AddressSanitizer and UndefinedBehaviorSanitizer" || status=1
    windows || status=1
    thread_tests || status=1
    avx2_tests || status=1
    fuzz 30 || status=1
    if [ $status -ne 0 ]; then echo "Some tests failed."; fi
    exit $status
    ;;
  demo)
    build
    exec "$BUILD_DIR/bin/ticklog" --demo "$@"
    ;;
  windows)
    build
    windows
    ;;
  fuzz)
    install_packages
    fuzz "${1:-600}"
    ;;
  docs)
    build
    cmake --build "$BUILD_DIR" --target docs
    echo "API reference: $BUILD_DIR/docs/html/index.html"
    ;;
  bench)
    build
    mkdir -p "$BUILD_DIR/bench-results"
    rm -f "$BUILD_DIR"/bench-results/*.json
    for b in "$BUILD_DIR"/bin/bench_*; do
      [ -x "$b" ] || continue
      echo "=== $(basename "$b") ==="
      "$b" --benchmark_out="$BUILD_DIR/bench-results/$(basename "$b").json" --benchmark_out_format=json "$@"
    done
    echo "=== bench_python_sweeps ==="
    /usr/bin/python3 "$ROOT/bench/bench_python_sweeps.py" "$BUILD_DIR"
    echo "=== varnis-analyze: whole default analysis against one plain parse ==="
    "$ROOT/bench/analyze_ratio.sh" "$BUILD_DIR/bin/varnis-analyze" "$BUILD_DIR"
    echo "=== Theo1 octave sweep against NumPy ==="
    /usr/bin/python3 "$ROOT/bench/theo1_numpy_ratio.py" "$BUILD_DIR/lib/libvarnisx.so"
    /usr/bin/python3 "$ROOT/bench/summary.py" "$BUILD_DIR"/bench-results/*.json
    ;;
  *)
    echo "usage: ./run.sh build|test|bench|windows|docs|demo|fuzz" >&2
    exit 2
    ;;
esac
