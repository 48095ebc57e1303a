#!/usr/bin/env bash
# Builds the stores' tests with ThreadSanitizer in build-tsan/ (a build of its own) and
# runs them; a race found ends the run with its two stacks. Tests to run may be named:
#   bash scripts/tsan.sh [tst_history_store tst_history_list_model ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${SORVANE_TSAN_BUILD_DIR:-$top/build-tsan}"
tests=("$@")
((${#tests[@]})) || tests=(tst_history_store tst_history_list_model tst_agent_conversation_store)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANE_TSAN=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-3}" --target "${tests[@]}"
export TSAN_OPTIONS="suppressions=$top/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
status=0
for test in "${tests[@]}"; do
  echo "== $test"
  QT_QPA_PLATFORM=offscreen "$build/tests/$test" || status=1
done
exit $status
