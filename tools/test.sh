#!/usr/bin/env bash
# Runs every test of the project from a fresh machine: installs what is needed, then
#   1. the Linux build and its tests,
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. the threaded tests under ThreadSanitizer,
#   4. the 32-bit Windows build and its tests under Wine,
#   5. the load-path fuzzer for a bounded time.
# Build trees go to out/ (override with QV_OUT). QV_FUZZ_SECONDS sets the fuzzing time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${QV_OUT:-$root/out}
jobs=$(nproc)

tools/ci/install-deps.sh

step() { printf '\n===== %s =====\n' "$*"; }

step "Linux build and tests"
cmake -S . -B "$out/linux" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$out/linux" -j "$jobs"
ctest --test-dir "$out/linux" -j "$jobs" --output-on-failure --timeout 300
# netcheck against a real Firebird server on 127.0.0.1, the system's ping and /etc/services,
# and against an smbd of its own with a disk and a printer share.
firebird_pid=$(tools/ci/firebird.sh)
smbd_pid=$(tools/ci/smbd.sh "$out/smbd" 445)
setsid "$out/linux/bin/nbns_responder" LOOPSRV TESTGROUP >/dev/null 2>&1 &
nbns_pid=$!
QV_FIREBIRD=1 QV_SMB_BROWSE=1 QV_SMB_CONF="$out/smbd/client.conf" "$out/linux/bin/netcheck_integration_tests"
QV_FIREBIRD=1 QV_SMB_BROWSE=1 QV_SMB_CONF="$out/smbd/client.conf" \
  "$out/linux/bin/netcheck_window_tests" --gtest_filter='*RealServers*'
kill "$firebird_pid" "$smbd_pid" "$nbns_pid" 2>/dev/null || true
# The window's screenshot, made from the build just tested.
mkdir -p "$out/screenshots"
QV_SCREENSHOT_DIR="$out/screenshots" "$out/linux/bin/termbackup_window_tests" --gtest_filter='*Screenshot*' >/dev/null
QV_SCREENSHOT_DIR="$out/screenshots" "$out/linux/bin/netcheck_window_tests" --gtest_filter='*Screenshot*' >/dev/null

step "Installed library and headers, used by a client of their own"
rm -rf "$out/prefix"
cmake --install "$out/linux" --prefix "$out/prefix" >/dev/null
test -f "$out/prefix/lib/libQVCommDB.so"
c++ -std=c++17 -Wall -Wextra -Werror -I"$out/prefix/include" tests/install/client.cpp \
  -L"$out/prefix/lib" -lQVCommDB -Wl,-rpath,"$out/prefix/lib" -o "$out/installed-client"
# A plug-in built with the installed kit alone, registered and listed with the installed tool.
cmake -S tests/install/plugin -B "$out/kit-plugin" -G Ninja -DQV_PREFIX="$out/prefix" >/dev/null
cmake --build "$out/kit-plugin" >/dev/null
kit_home=$(mktemp -d)
mkdir -p "$kit_home/Quorvex"
QV_SYSTEM_DIR="$kit_home" QV_TRACE_FILE="$kit_home/trace" "$out/prefix/bin/qvcomm-register" "$out/kit-plugin/libkitexample.so"
QV_SYSTEM_DIR="$kit_home" QV_TRACE_FILE="$kit_home/trace" "$out/prefix/bin/qvcomm-register" --list | tee "$kit_home/list"
grep -q "qv.example Greeter" "$kit_home/list"
rm -rf "$kit_home"
"$out/installed-client"
# A plug-in built with the installed kit alone, registered and listed with the installed tool.
cmake -S tests/install/plugin -B "$out/kit-plugin" -G Ninja -DQV_PREFIX="$out/prefix" >/dev/null
cmake --build "$out/kit-plugin" >/dev/null
kit_home=$(mktemp -d)
mkdir -p "$kit_home/Quorvex"
QV_SYSTEM_DIR="$kit_home" QV_TRACE_FILE="$kit_home/trace" "$out/prefix/bin/qvcomm-register" "$out/kit-plugin/libkitexample.so"
QV_SYSTEM_DIR="$kit_home" QV_TRACE_FILE="$kit_home/trace" "$out/prefix/bin/qvcomm-register" --list | tee "$kit_home/list"
grep -q "qv.example Greeter" "$kit_home/list"
rm -rf "$kit_home"

step "Linux tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B "$out/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=address,undefined \
  -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$out/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$root/tools/ci/lsan.supp" \
  ctest --test-dir "$out/asan" -j "$jobs" --output-on-failure --timeout 600

step "Threaded tests under ThreadSanitizer"
cmake -S . -B "$out/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=thread -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$out/tsan" -j "$jobs" --target qvcomm_tests qvcommdb_tests
TSAN_OPTIONS=halt_on_error=1 "$out/tsan/bin/qvcomm_tests" --gtest_filter='*Thread*'
TSAN_OPTIONS=halt_on_error=1 "$out/tsan/bin/qvcommdb_tests" --gtest_filter='AccessTest.*Thread*'

step "32-bit Windows build and tests under Wine"
cmake -S . -B "$out/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/win32" -j "$jobs"
export WINEPREFIX="$out/wine-prefix"
# shellcheck source=tools/ci/wine-prefix.sh
source tools/ci/wine-prefix.sh
ctest --test-dir "$out/win32" --output-on-failure --timeout 300
wineserver -k || true

step "Load-path fuzzer"
CC=clang CXX=clang++ cmake -S . -B "$out/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
  -DQV_SANITIZE=address,undefined -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$out/fuzz" -j "$jobs" --target store_load_fuzzer
corpus="$out/fuzz-corpus"
mkdir -p "$corpus"
"$out/fuzz/bin/store_load_fuzzer" -max_total_time="${QV_FUZZ_SECONDS:-60}" -max_len=4096 \
  -dict=fuzz/xml.dict -print_final_stats=1 "$corpus" fuzz/corpus 2>&1 | tail -n 12

step "all tests passed"
