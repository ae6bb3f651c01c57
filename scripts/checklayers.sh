#!/usr/bin/env bash
# Fails when a source includes from a layer above its own. Folders of src/ from the bottom up:
# core, link, widgets, session, meters, config, mainwindow. job (meterjob, the program without
# windows) stands on core and link alone (and QtSql for its store), and no window reaches into it. The virtual meter line
# uses none of them: it checks the program's frames, so it must not share the program's code.
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
check() { # file, rank of the file's layer
    local file=$1 own=$2 line folder r
    while IFS= read -r line; do
        folder=${line#*\"}
        folder=${folder%%/*}
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
while IFS= read -r line; do
    echo "src/job: includes from above link: $line" >&2
    bad=1
done < <(grep -rn '^#include "[a-z]*/' src/job --include='*.h' --include='*.cpp' | grep -vE '#include "(core|link|job)/' || true)
while IFS= read -r line; do
    echo "includes the job program: $line" >&2
    bad=1
done < <(grep -rn '^#include "job/' src --include='*.h' --include='*.cpp' | grep -v '^src/job/' || true)
if grep -nE '\bmetergui\b|Qt6?::Widgets' src/job/CMakeLists.txt >&2 ||
    ! grep -qE 'target_link_libraries\(meterjob PRIVATE meterlink( Qt6::Sql)?\)$' src/CMakeLists.txt; then
    echo "meterjob must link meterlink (and with it metercore) and QtSql only" >&2
    bad=1
fi
while IFS= read -r line; do
    echo "tools/metersim: includes from outside metersim: $line" >&2
    bad=1
done < <(grep -rn '^#include "' tools/metersim --include='*.h' --include='*.cpp' | grep -v '#include "metersim/' || true)
if grep -nE '\bmeter(core|link|gui|resources)\b' tools/metersim/CMakeLists.txt >&2; then
    echo "tools/metersim/CMakeLists.txt: links a library of the program" >&2
    bad=1
fi
[ "$bad" = 0 ] && echo "layers: every include points downward; meterjob has no windows; metersim stands alone"
exit "$bad"
