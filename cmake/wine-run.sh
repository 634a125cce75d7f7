#!/usr/bin/env bash
# Runs a Windows program under Wine: ctest's emulator for the cross build.
# Inside a prepared test run the session already exists; alone, it makes a
# throwaway one so that nothing touches the real home folder.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVIX_WINE_READY:-}" ]; then
  # shellcheck source=../tools/wine-env.sh
  . "$here/../tools/wine-env.sh"
  tarvix_wine_setup || exit 1
  trap tarvix_wine_teardown EXIT
fi
wine "$@"
exit $?
