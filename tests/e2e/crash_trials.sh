#!/usr/bin/env bash
# A short series of crash trials (scripts/crash_trials.sh): build/pache
# killed at random moments of a real patch leaves every file old or new.
set -euo pipefail
status=0
PACHE_CRASH_LARGE_MB=8 bash "$(dirname "$0")/../../scripts/crash_trials.sh" "$1" 3 20 || status=$?
if [ "$status" = 77 ]; then
  echo "skipped: this build's host registry reads no hive"
  exit 0
fi
exit "$status"
