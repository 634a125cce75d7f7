#!/usr/bin/env bash
# run-e2e.sh <script> <bin dir>: runs in the prepared Wine session (scripts/test)
# or, alone, in a session of its own.
export TARVIX_E2E_BIN=$2
if [ -z "${TARVIX_WINE_READY:-}" ]; then
  . "$(dirname "$0")/../../tools/wine-env.sh" && tarvix_wine_setup || exit 1
  trap tarvix_wine_teardown EXIT
fi
python3 -B -u "$1"
