#!/usr/bin/env bash
# Every Windows test under one Wine prefix (its start-up takes a while):
#   suite.sh WINDOWS_BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
status=0
for test in launcher_smoke update_smoke; do
  echo "== $test"
  "$here/$test.sh" "$1"
  rc=$?
  [ $rc -eq 77 ] && exit 77
  [ $rc -ne 0 ] && status=1
done
exit $status
