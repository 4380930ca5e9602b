#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine on Xvfb.
# Prints ctest's summary; the exit code is ctest's (non-zero when a test failed).
set -e
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$top/build}
"$top/tools/setup-deps.sh"
"$top/tools/build.sh"
set +e
"$top/tools/test-session.sh" ctest --test-dir "$BUILD_DIR" --output-on-failure -j"${KV_TEST_JOBS:-2}" "$@"
rc=$?
[ $rc -eq 0 ] && echo "test.sh: all tests passed" || echo "test.sh: FAILED (ctest exit code $rc)"
exit $rc
