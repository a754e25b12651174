# Shared by test-sanitizers.sh and test-fuzz.sh: one clang build folder with
# AddressSanitizer and UndefinedBehaviorSanitizer, tests and the fuzzer only.
# The libraries also carry the fuzzer's coverage hooks, so both passes share
# one build.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SANITIZER_PACKAGES[@]}"

SANITIZER_BUILD="$ROOT/build-asan"
SANITIZER_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined \
-fno-sanitize-recover=all -fsanitize=fuzzer-no-link"

# Reports stop the program with a non-zero status; leaks that live wholly
# inside system libraries are listed in lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$ROOT/tools/lsan.supp:print_suppressions=0"

# Builds the named targets in the sanitizer folder.
build_sanitized() {
    cmake -S "$ROOT" -B "$SANITIZER_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$SANITIZER_FLAGS" \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DTARVIN_BUILD_BENCH=OFF -DTARVIN_BUILD_FUZZ=ON >/dev/null
    cmake --build "$SANITIZER_BUILD" --target "$@"
}
