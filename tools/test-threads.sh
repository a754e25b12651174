#!/usr/bin/env bash
# The sound player's tests built with ThreadSanitizer (clang) in build-tsan/
# and run under Xvfb: any report fails them. Qt and SDL are not built for it,
# so what they do inside goes unseen except through the C library; the
# quitting test starts the game, which ThreadSanitizer cannot follow.
source "$(dirname "$0")/common.sh"
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SANITIZER_PACKAGES[@]}"
TSAN_BUILD="$ROOT/build-tsan"
cmake -S "$ROOT" -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=thread" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
    -DTARVIN_BUILD_BENCH=OFF -DTARVIN_BUILD_FUZZ=OFF >/dev/null
cmake --build "$TSAN_BUILD" --target sound_tests
cd "$TSAN_BUILD"
# Each test in a process of its own, as the game starts SDL once.
export TSAN_OPTIONS="halt_on_error=1:suppressions=$ROOT/tools/tsan.supp"
env -u WAYLAND_DISPLAY -u WAYLAND_SOCKET QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --output-on-failure -R '^SoundPlayerTest[.]' -E 'Quitting' \
    --repeat until-fail:"${TSAN_REPEAT:-3}"
