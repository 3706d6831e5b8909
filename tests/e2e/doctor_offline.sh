#!/usr/bin/env bash
# The connection check on this very machine (it opens no port unless one is
# named) with no network at all, in a private network namespace: it reads
# the system, sends nothing, and ends in time.
set -euo pipefail
cli=$1
if ! unshare -n true 2>/dev/null; then
  echo "no private network namespace here (unshare -n refused): skipped"
  exit 77
fi
start=$(date +%s)
set +e
out=$(timeout 30 unshare -n "$cli" doctor)
status=$?
set -e
took=$(( $(date +%s) - start ))
echo "$out"
echo "status $status after $took s"
# No board was named: status 3, the advice to name one, and a line a check.
[ "$status" -eq 3 ] || { echo "expected status 3"; exit 1; }
grep -q "Wi-Fi module's network" <<<"$out"
grep -q "^note  No port was chosen" <<<"$out"
[ "$took" -le 30 ]
