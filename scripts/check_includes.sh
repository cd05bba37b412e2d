#!/usr/bin/env bash
# Fails when a file in src/<a>/ includes "<b>/..." while the build graph in
# cmake/Subsystems.cmake does not let a depend on b, directly or through
# other subsystems, and when the graph holds an edge no include uses. A folder the graph does not name (src/ui, built from its
# own CMakeLists.txt on the whole library) may include any subsystem.
set -euo pipefail
cd "$(dirname "$0")/.."

# "a b c": subsystem a depends directly on b and c.
edges=$(sed -nE 's/^dp_subsystem\(([a-z_]+)( DEPS (.*))?\).*/\1 \3/p' cmake/Subsystems.cmake |
  sed -E 's/[^ ]*::[^ ]*|\$\{[^}]*\}//g; s/dp_//g')
known=$(awk '{print $1}' <<<"$edges")

# Every subsystem a reaches, a itself included.
reach() {
  local todo=("$1") seen=" $1 " s d
  while [ ${#todo[@]} -gt 0 ]; do
    s=${todo[0]}
    todo=("${todo[@]:1}")
    for d in $(awk -v s="$s" '$1 == s { $1 = ""; print }' <<<"$edges"); do
      [[ $seen == *" $d "* ]] && continue
      seen+="$d "
      todo+=("$d")
    done
  done
  echo "$seen"
}

status=0
for dir in src/*/; do
  a=$(basename "$dir")
  grep -qx "$a" <<<"$known" || continue
  allowed=$(reach "$a")
  while IFS=: read -r file line b; do
    [ -d "src/$b" ] || continue
    if [[ $allowed != *" $b "* ]]; then
      echo "$file:$line: $a includes $b, which cmake/Subsystems.cmake does not let it use" >&2
      status=1
    fi
  done < <(grep -rnoE '^#include "[a-z_]+/' "$dir" | sed -E 's/#include "([a-z_]+)\/$/\1/')
done
# Every edge is one the includes use.
while read -r a deps; do
  for b in $deps; do
    grep -rqE "^#include \"$b/" "src/$a" 2>/dev/null ||
      { echo "cmake/Subsystems.cmake lets $a use $b, which none of its files includes" >&2; status=1; }
  done
done <<<"$edges"
# A subsystem folder with files must be in the graph, and the graph names no
# subsystem without a folder.
for dir in src/*/; do
  a=$(basename "$dir")
  [ "$a" = ui ] || grep -qx "$a" <<<"$known" || { echo "src/$a is not in cmake/Subsystems.cmake" >&2; status=1; }
done
for a in $known; do
  [ -d "src/$a" ] || { echo "cmake/Subsystems.cmake names $a, which has no folder in src/" >&2; status=1; }
done
exit $status
