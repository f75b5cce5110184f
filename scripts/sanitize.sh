#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (under build-sanitize/, or $QUILLET_SANITIZE_BUILD) and runs them on the
# offscreen platform. Any error the sanitizers find ends that test with a
# report and fails the run.
#
#   scripts/sanitize.sh            every test (what CI runs)
#   scripts/sanitize.sh tst_rtf    the tests named
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QUILLET_SANITIZE_BUILD:-$here/build-sanitize}"

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
    -DCMAKE_SHARED_LINKER_FLAGS="$sanitizers" \
    -DCMAKE_MODULE_LINKER_FLAGS="$sanitizers"
fi
if [ $# -gt 0 ]; then
  cmake --build "$build" --parallel "$(nproc)" --target "$@"
  tests=("$@")
else
  cmake --build "$build" --parallel "$(nproc)"
  mapfile -t tests < <(cd "$build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: *//p')
fi

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
# Reports go to files (a test may be holding its standard error when one
# comes, and an editor a test starts has none) and are shown at the end.
# Leaks are left to other tools: the libraries below the editor keep caches
# for the life of the process.
logs="$build/sanitizer-reports"
rm -rf "$logs"
mkdir -p "$logs"
asan="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1:log_path=$logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"

# The page viewer's engine, which these tests start, frees some of its own
# objects through a base of another size: that check is left off for them
# (the engine is not built with the sanitizers; the check still runs for
# every other test). A test that opens the page viewer belongs here.
engine=(tst_viewer tst_menuwalk tst_workbench tst_cgisite tst_accessibility tst_print tst_toolbar tst_install)
plain=()
withEngine=()
for t in "${tests[@]}"; do
  if [[ " ${engine[*]} " == *" $t "* ]]; then withEngine+=("$t"); else plain+=("$t"); fi
done

pattern() { local IFS='|'; echo "^($*)\$"; }
cd "$build"
status=0
if [ ${#plain[@]} -gt 0 ]; then
  ASAN_OPTIONS="$asan" ctest --output-on-failure --parallel "$(nproc)" -R "$(pattern "${plain[@]}")" || status=1
fi
if [ ${#withEngine[@]} -gt 0 ]; then
  ASAN_OPTIONS="$asan:new_delete_type_mismatch=0" \
    ctest --output-on-failure --parallel "$(nproc)" -R "$(pattern "${withEngine[@]}")" || status=1
fi
for report in "$logs"/*; do
  [ -e "$report" ] || continue
  echo "==== $report"
  cat "$report"
  status=1
done
exit $status
