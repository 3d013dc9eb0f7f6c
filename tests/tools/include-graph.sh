#!/bin/bash
# The packaging tool's folders are layers: a folder includes only the folders
# added before it in tools/CMakeLists.txt (that order is the layering). Prints
# every include that runs the other way and fails when there is one.
#   include-graph.sh SOURCE_DIR
root=${1:?usage: include-graph.sh SOURCE_DIR}
cd "$root" || exit 1
mapfile -t layers < <(sed -n 's/^add_subdirectory(\([a-z]*\)).*/\1/p' tools/CMakeLists.txt)
[ "${#layers[@]}" -ge 2 ] || { echo "no layers found in tools/CMakeLists.txt"; exit 1; }
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

bad=0
while IFS=: read -r file line text; do
    from=${file#tools/}; from=${from%%/*}
    to=${text#*\"tools/}; to=${to%%/*}
    if [ -z "${rank[$from]+x}" ] || [ -z "${rank[$to]+x}" ]; then
        echo "$file:$line: tools/$from or tools/$to is no layer of tools/CMakeLists.txt"; bad=1
    elif [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
        echo "$file:$line: $from includes $to, a layer above it"; bad=1
    fi
done < <(grep -rn '^#include "tools/' tools)
[ "$bad" = 0 ] && echo "include graph: ${layers[*]} (each includes only those before it)"
exit "$bad"
