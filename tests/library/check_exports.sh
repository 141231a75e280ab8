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

status=0
demangled_all=""
for symbol in $exported; do
  demangled="$(printf '%s\n' "$symbol" | c++filt)"
  demangled_all="$demangled_all$demangled
"
  case "$symbol" in
    _Z*) ;;
    *) echo "exported C symbol: $symbol" >&2; status=1; continue ;;
  esac
  entity="${demangled#vtable for }"
  entity="${entity#typeinfo name for }"
  entity="${entity#typeinfo for }"
  case "$entity" in
    melvox::*) ;;
    *) echo "exported outside namespace melvox: $demangled" >&2; status=1; continue ;;
  esac
  # The first name after melvox:: (a class or a function) must be declared in a public header.
  name="$(printf '%s\n' "${entity#melvox::}" | sed 's/[:(<].*//')"
  if ! grep -qw -- "$name" "$headers"/*.h; then
    echo "exported but not declared in $headers: $demangled" >&2
    status=1
  fi
done

for required in "$@"; do
  if ! printf '%s' "$demangled_all" | grep -qxF -- "$required"; then
    echo "not exported: $required" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "$(printf '%s\n' "$exported" | wc -l) exported symbols, all declared in $headers"
exit "$status"
