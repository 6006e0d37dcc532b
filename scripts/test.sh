#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a normal build, and a second
# build under AddressSanitizer and UndefinedBehaviourSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test

echo "== formatting"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror $files

echo "== core without Qt or Linux headers"
core=$(find src -name '*.cpp' -o -name '*.h' | grep -vE '/(linux|qt|win32)/')
# Only the C++ standard library: no toolkit header and no C or system header (they end in .h).
if grep -nE '#include *<(Q[A-Za-z]*|[^>]*\.h)>' $core; then
  echo "the core must not include toolkit or operating-system headers" >&2
  exit 1
fi
bash scripts/build.sh build-core -DTARNWICK_GUI=OFF -DTARNWICK_POSIX=OFF -DTARNWICK_BENCH=OFF

echo "== normal build"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

echo "== AddressSanitizer + UndefinedBehaviourSanitizer build"
bash scripts/build.sh build-asan -DTARNWICK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)")

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  bash "$extra"
done
echo "All tests passed."
