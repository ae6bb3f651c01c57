#!/usr/bin/env bash
# Splits a lines file for meterjob --lines into N shards to run anywhere at once:
#   shard.sh LINES N [DIR]
# writes DIR/shard-1.lines .. DIR/shard-N.lines (DIR: the current folder; made when missing),
# dealing the channel lines out in turn (comments and blank lines dropped), and prints the names
# of the files written one a line. A shard that would hold no line is not written (a job with no line is refused), so
# fewer than N names come out when LINES has fewer than N lines. The shard files of an earlier
# split in DIR are removed first: they would be run again with the new ones.
set -euo pipefail

usage() {
    echo "shard.sh: $1" >&2
    echo "usage: shard.sh LINES N [DIR]" >&2
    exit 2
}

[ $# -ge 2 ] && [ $# -le 3 ] || usage "give a lines file and a number of shards"
lines=$1
n=$2
dir=${3:-.}
prefix=${3:+${3%/}/}
[[ $n =~ ^[0-9]+$ ]] && [ "${#n}" -le 6 ] && [ "$((10#$n))" -ge 1 ] ||
    usage "N wants a whole number of shards from 1, not '$n'"
n=$((10#$n))
[ -f "$lines" ] && [ -r "$lines" ] || usage "cannot read the lines file '$lines'"
mkdir -p -- "$dir" 2>/dev/null || usage "cannot make the folder '$dir'"

old=()
for f in "$dir"/shard-*.lines; do
    [ -e "$f" ] && [[ $(basename "$f") =~ ^shard-[0-9]+\.lines$ ]] || continue
    [ "$f" -ef "$lines" ] && usage "'$lines' is a shard of an earlier split in '$dir': give the whole list"
    old+=("$f")
done
[ "${#old[@]}" -eq 0 ] || rm -f -- "${old[@]}"

written=()
i=0
while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    trimmed=${line#"${line%%[![:space:]]*}"}
    [ -z "$trimmed" ] || [ "${trimmed:0:1}" = "#" ] && continue
    shard=$((i % n + 1))
    file=${prefix}shard-$shard.lines
    if [ "$i" -lt "$n" ]; then
        : >"$file"
        written+=("$file")
    fi
    printf '%s\n' "$line" >>"$file"
    i=$((i + 1))
done <"$lines"

[ "${#written[@]}" -gt 0 ] || usage "no channel line in '$lines'"
printf '%s\n' "${written[@]}"
