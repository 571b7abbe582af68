#!/usr/bin/env bash
# The source folders form layers: a folder includes only folders of a lower layer (and itself),
# so that no folder includes one above it and no two include each other. Prints every include
# that breaks this and fails when there is one.
set -uo pipefail
src="$(cd "$(dirname "$0")/../src" && pwd)"
declare -A layer=(
    [platform]=0
    [record]=1 [controls/bitmap]=1
    [fs]=2 [ui]=2
    [run]=3 [registry]=3 [controls/progressbar]=3
    [removal]=4 [report]=4
    [wizard]=5
)
folder_of() {  # the layered folder a path inside src/ lies in
    local path="$1"
    case "$path" in controls/*) echo "${path%/*}" | cut -d/ -f1-2 ;; *) echo "${path%%/*}" ;; esac
}
faults=0
while IFS= read -r line; do
    file="${line%%:*}"; included="${line#*#include \"}"; included="${included%\"*}"
    from="$(folder_of "${file#"$src"/}")"; to="$(folder_of "$included")"
    [ "$from" = "$to" ] && continue
    if [ -z "${layer[$from]+x}" ] || [ -z "${layer[$to]+x}" ]; then
        [ -z "${layer[$to]+x}" ] && [ "${included#*/}" = "$included" ] && continue  # a header of its own folder
        echo "layout: ${file#"$src"/} includes $included, from a folder the layers do not name"; faults=1; continue
    fi
    if [ "${layer[$to]}" -ge "${layer[$from]}" ]; then
        echo "layout: ${file#"$src"/} ($from, layer ${layer[$from]}) includes $included ($to, layer ${layer[$to]})"
        faults=1
    fi
done < <(grep -rn '#include "[a-z]' "$src" --include='*.h' --include='*.cpp' | grep -v '^[^:]*/main.cpp:')
[ "$faults" = 0 ] && echo "layout: every include points down"
exit "$faults"
