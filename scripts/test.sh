#!/usr/bin/env bash
# Installs what is missing, builds Quadrix and runs every test: once in a
# normal build with warnings as errors (build/), once under AddressSanitizer
# and UndefinedBehaviorSanitizer (build-sanitize/); then builds the fuzz
# targets with clang (build-fuzz/) and runs each for a bounded time.
# A tree that finds no tests fails: a build configured without them must not
# pass by testing nothing.
source "$(dirname "$0")/common.sh"

install_missing "${BUILD_PACKAGES[@]}" libbenchmark-dev "libreoffice-calc-nogui|libreoffice-calc" clang clang-format libclang-rt-14-dev \
    xvfb xauth desktop-file-utils appstream librsvg2-bin strace

build build "${NORMAL_BUILD_OPTIONS[@]}" -DQUADRIX_BUILD_TESTS=ON -DQUADRIX_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure --no-tests=error --parallel "$(nproc)" --timeout 600

build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUADRIX_WERROR=ON -DQUADRIX_SANITIZE=ON -DQUADRIX_BUILD_FUZZ=OFF \
    -DQUADRIX_BUILD_GUI=ON -DQUADRIX_BUILD_TESTS=ON -DQUADRIX_BUILD_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-sanitize --output-on-failure --no-tests=error --parallel "$(nproc)" --timeout 900

# The fuzz targets, built with clang, each run for a bounded time from the
# committed corpus (new finds go to a scratch folder, not into the checkout).
build build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADRIX_WERROR=ON \
    -DQUADRIX_SANITIZE=OFF -DQUADRIX_BUILD_FUZZ=ON -DQUADRIX_BUILD_GUI=OFF -DQUADRIX_BUILD_TESTS=OFF -DQUADRIX_BUILD_BENCH=OFF
fuzz_seconds=${QUADRIX_FUZZ_SECONDS:-60}
scratch=$(mktemp -d)
for target in conversion listreader textformat clipboardtext; do
    echo "Fuzzing $target for ${fuzz_seconds} s"
    mkdir -p "$scratch/$target"
    (cd "$scratch" && "$OLDPWD/build-fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
        "$scratch/$target" "$OLDPWD/fuzz/corpus/$target")
done
rm -rf "$scratch"
