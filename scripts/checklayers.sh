#!/usr/bin/env bash
# Fails when a source includes from a layer above its own. Folders of src/ from the bottom up:
# core, link, widgets, session, meters, config, mainwindow; the virtual meter line may use core.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
layers=(core link widgets session meters config mainwindow)
rank() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}
bad=0
check() { # file, rank of the file's layer, a folder of its own that it may also use
    local file=$1 own=$2 self=${3:-} line folder r
    while IFS= read -r line; do
        folder=${line#*\"}
        folder=${folder%%/*}
        [ -n "$self" ] && [ "$folder" = "$self" ] && continue
        r=$(rank "$folder")
        if [ "$r" -lt 0 ] || [ "$r" -gt "$own" ]; then
            echo "$file: includes upward: $line" >&2
            bad=1
        fi
    done < <(grep -h '^#include "[a-z]*/' "$file" || true)
}
for layer in "${layers[@]}"; do
    own=$(rank "$layer")
    while IFS= read -r f; do check "$f" "$own"; done < <(find "src/$layer" -name '*.h' -o -name '*.cpp' | sort)
done
while IFS= read -r f; do check "$f" 0 metersim; done < <(find tools/metersim -name '*.h' -o -name '*.cpp' | sort)
[ "$bad" = 0 ] && echo "layers: every include points downward"
exit "$bad"
