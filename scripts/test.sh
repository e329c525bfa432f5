#!/usr/bin/env bash
# Builds the project and runs the whole test suite: the normal build
# (RelWithDebInfo), then AddressSanitizer + UndefinedBehaviorSanitizer, then
# ThreadSanitizer. Installs missing Debian packages first.
#
#   scripts/test.sh               all three builds
#   scripts/test.sh default asan  only those builds (default, asan, tsan)
#
# With CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

builds=("$@")
if [ ${#builds[@]} -eq 0 ]; then
  builds=(default asan tsan)
fi

werror=OFF
if [ "${CI:-}" = "true" ]; then
  werror=ON
fi

for build in "${builds[@]}"; do
  case "$build" in
    default|asan|tsan) ;;
    *) echo "unknown build '$build' (default, asan, tsan)" >&2; exit 2 ;;
  esac
  echo "=== ${build}: configure, build, test"
  start=$(date +%s)
  cmake --preset "$build" -DTT_WERROR="$werror"
  cmake --build --preset "$build"
  ctest --preset "$build"
  echo "=== ${build}: passed in $(( $(date +%s) - start )) s"
done
