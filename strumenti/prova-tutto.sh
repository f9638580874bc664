#!/usr/bin/env bash
# Every test of every configuration, in this order:
#   build       Linux, the tests of today (GoogleTest, X11 window tests on a private Xvfb)
#   build-essenziale  Linux with every optional library ignored: the compactor
#               and the tests that need none of them
#   build-fuzz  clang++: the GoogleTest suite with AddressSanitizer and
#               UndefinedBehaviorSanitizer, and the libFuzzer harnesses, 30 s
#               each
#   build-win   Windows (mingw-w64), the whole suite under Wine, the window on
#               Xvfb, and the bytes against the Linux build
# First the packages these need and the machine lacks are installed.
set -euo pipefail
# Called before the cd, so that the command it suggests when it needs root
# is right for the folder this was started from.
bash "$(dirname "$0")/installa-dipendenze.sh"
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
# Line tables only: what a failure's backtrace and the sanitizers' reports
# need, for a third less compile time than full debug information.
righe=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")

cmake -S . -B build -DCOMPATTATORE_SERVER=ON "${righe[@]}"
cmake --build build -j2
# Two at a time, as the suite is run while it is written: the tests that
# share something (a port, Wine, a display) hold it themselves.
ctest --test-dir build -j2 --output-on-failure

bash strumenti/prova-essenziale.sh build-essenziale "${righe[@]}"

# The tool is built here with clang anyway: built with the sanitizers and
# its tests, it is also the sanitized suite, for the cost of the tests' build
# and run rather than a configuration's whole build. (gcc's sanitizers, the
# same runtime, are a -DCOMPATTATORE_SANITIZE=ON build away.)
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCOMPATTATORE_FUZZ=ON -DCOMPATTATORE_FUZZ_SECONDS=30 -DCOMPATTATORE_TESTS=ON -DCOMPATTATORE_SANITIZE=ON -DCOMPATTATORE_SERVER=ON "${righe[@]}"
cmake --build build-fuzz -j2
# Two at a time: each harness runs its 60 s on a core of its own, and the
# suite's time is paid for by the harnesses no longer waiting in line.
ctest --test-dir build-fuzz -j2 --output-on-failure

cmake -S . -B build-win --toolchain cmake/mingw-w64.cmake -DCOMPATTATORE_SERVER=ON -DCOMPATTATORE_LINUX_BIN="$PWD/build/bin" "${righe[@]}"
cmake --build build-win -j2
# Wine's own folder made once, before any test, with no display (so nothing
# asks for a click) and without the .NET and HTML add-ons it would offer.
(unset DISPLAY; WINEDLLOVERRIDES="mscoree,mshtml=" "$(sed -n 's/^COMPATTATORE_WINE:[A-Z]*=//p' build-win/CMakeCache.txt)" wineboot --init)
# A start Wine itself failed is tried again by tests/windows/avvio_wine.sh;
# a test that ran and failed fails the run on its first try.
ctest --test-dir build-win -j2 --output-on-failure
