#!/usr/bin/env bash
# Runs one end-to-end test script: run-e2e.sh <python> <script> <bin dir> <artefact dir>
# Inside a prepared test run (scripts/test) the Wine session already exists;
# run alone, this makes a throwaway one for the script and removes it after.
set -u
python=$1 script=$2
export TARVIX_E2E_BIN=$3
export TARVIX_E2E_ARTIFACTS=$4
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVIX_WINE_READY:-}" ]; then
  # shellcheck source=../../tools/wine-env.sh
  . "$here/../../tools/wine-env.sh"
  tarvix_wine_setup || exit 1
  trap tarvix_wine_teardown EXIT
fi
mkdir -p "$TARVIX_E2E_ARTIFACTS"
"$python" -B -u "$script"
