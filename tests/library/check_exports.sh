#!/bin/sh
# Checks that a shared library exports only what the public headers declare: every defined dynamic
# symbol must be a C++ symbol of namespace melvox (a function, or a class's vtable or type
# information) whose name appears in a header of HEADER_DIR, and each REQUIRED symbol (demangled)
# must be among them.
#   check_exports.sh LIBRARY HEADER_DIR [REQUIRED...]
set -eu
[ $# -ge 2 ] || { echo "usage: check_exports.sh LIBRARY HEADER_DIR [REQUIRED...]" >&2; exit 2; }
library="$1"
headers="$2"
shift 2

exported="$(nm -D --defined-only "$library" | awk 'NF >= 3 { print $3 }' | sort -u)"
[ -n "$exported" ] || { echo "$library exports nothing" >&2; exit 1; }
demangled_all="$(printf '%s\n' "$exported" | c++filt)"

status=0
for symbol in $exported; do
  case "$symbol" in
    _Z*) ;;
    *) echo "exported C symbol: $symbol" >&2; status=1; continue ;;
  esac
  demangled="$(printf '%s\n' "$symbol" | c++filt)"
  entity="$(printf '%s\n' "$demangled" | sed -e 's/^vtable for //' -e 's/^typeinfo name for //' -e 's/^typeinfo for //')"
  case "$entity" in
    melvox::*) ;;
    *) echo "exported outside namespace melvox: $demangled" >&2; status=1; continue ;;
  esac
  # The first name after melvox:: (a class or a function) must be declared in a public header.
  name="$(printf '%s\n' "${entity#melvox::}" | sed 's/[:(<].*//')"
  grep -qw -- "$name" "$headers"/*.h || { echo "exported but not declared in $headers: $demangled" >&2; status=1; }
done

for required in "$@"; do
  printf '%s\n' "$demangled_all" | grep -qxF -- "$required" || { echo "not exported: $required" >&2; status=1; }
done
[ "$status" -eq 0 ] && echo "$(printf '%s\n' "$exported" | wc -l) exported symbols, all declared in $headers"
exit "$status"
