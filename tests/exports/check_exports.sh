#!/bin/sh
# Checks that an executable exports every operation listed in the given
# files, by name with its argument types.
# Usage: check_exports.sh OBJDUMP PROGRAM LIST...
set -u
objdump=$1; program=$2; shift 2
exports=$(mktemp)
trap 'rm -f "$exports"' EXIT
"$objdump" -p "$program" | awk '/^\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[/{print $NF} on && /^$/{on=0}' \
  | c++filt > "$exports"
missing=0; total=0
for list in "$@"; do
  while IFS= read -r want; do
    [ -n "$want" ] || continue
    total=$((total + 1))
    if ! grep -qxF "$want" "$exports"; then
      echo "missing export: $want"
      missing=$((missing + 1))
    fi
  done < "$list"
done
echo "$((total - missing)) of $total expected exports found in $(basename "$program")"
[ "$missing" -eq 0 ]
