#!/bin/sh
# Checks that the kelvo program exports every function of the two device
# libraries' public headers, and the lock and semaphore primitives, by name.
#   exports_check.sh KELVO_BINARY HEADER...
set -eu
binary=$1
shift
symbols=$(nm -D --defined-only "$binary" | awk '{print $3}')
names=$(grep -ohE '\b(qvudps_[a-z_0-9]+|qvxml_[a-z_0-9]+|qv_thread_mutex_[a-z]+|qv_sem_[a-z]+|qv_error_i2s)[[:space:]]*\(' "$@" \
  | sed 's/[[:space:]]*($//' | sort -u)
[ -n "$names" ] || { echo "no function names found in $*"; exit 1; }
missing=0
count=0
for n in $names; do
  count=$((count + 1))
  if ! printf '%s\n' "$symbols" | grep -qx "$n"; then
    echo "not exported: $n"
    missing=1
  fi
done
echo "$count functions checked"
exit $missing
