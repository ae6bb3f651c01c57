#!/usr/bin/env bash
# Plants realistic one-line faults, one at a time, in a scratch copy of this tree, rebuilds the
# tests meant to catch each one and runs them. Prints each mutation as caught or missed and a
# total; exits non-zero when one is missed, does not build or its text is not found once. Not
# part of CI: it takes a while (the first run builds the scratch copy from nothing).
#
#   scripts/mutants.sh [NAME-REGEX]     only the mutations whose name matches
#
# METER_MUTANTS_DIR is the scratch folder (default: $TMPDIR/metertool-mutants); it is kept between
# runs, so that with ccache each mutant is an incremental rebuild. The real tree is only read.
set -euo pipefail

# One mutation a line, fields separated by " @@ ":
#   name @@ file @@ text (found exactly once in the file) @@ replacement @@ tests
# "\n" in a text stands for a line break. Tests are test programs, each optionally with the test
# functions to run: "tst_engine:replies,batch tst_console:send".
read -r -d '' TABLE <<'EOF' || true
retries-not-reset @@ src/link/exchangeengine.cpp @@ loadRetries = 0;\n    loadBufs[loadIndex] = reply; @@ loadBufs[loadIndex] = reply; @@ tst_engine:replies
retry-limit @@ src/link/exchangeengine.cpp @@ constexpr int kMaxRetries = 3; @@ constexpr int kMaxRetries = 4; @@ tst_engine:replies
serial-gap-100 @@ src/link/comport.h @@ static constexpr int kGapMs = 20; @@ static constexpr int kGapMs = 100; @@ tst_comport:gaps,pacedReplies
serial-gap-3 @@ src/link/comport.h @@ static constexpr int kGapMs = 20; @@ static constexpr int kGapMs = 3; @@ tst_comport:gaps,pacedReplies
received-colour @@ src/link/logcolours.h @@ received(0, 170, 230) @@ received(0, 150, 230) @@ tst_engine:batch tst_console:send
tcp-reply-time @@ src/link/exchangeengine.cpp @@ return 5000; @@ return 2000; @@ tst_engine:channelReplyTime
gsm-reply-time @@ src/link/exchangeengine.cpp @@ return 7000; @@ return 5000; @@ tst_engine:channelReplyTime
com-reply-time @@ src/link/exchangeengine.cpp @@ default:\n        return 2000; @@ default:\n        return 5000; @@ tst_engine:channelReplyTime
tcp-refusal-unnoticed @@ src/link/connectlimit.cpp @@ &QAbstractSocket::errorOccurred @@ &QAbstractSocket::disconnected @@ tst_eth:refused
battery-unsigned @@ src/core/measuredecoders.cpp @@ const qint16 v = qint16(quint16(quint8(d[0]) | quint8(d[1]) << 8)); @@ const quint16 v = quint16(quint8(d[0]) | quint8(d[1]) << 8); @@ tst_measures:tables
power-divisor @@ src/core/measuredecoders.cpp @@ constexpr double kPowerScale3 = 100.0; @@ constexpr double kPowerScale3 = 1000.0; @@ tst_measures:tables
bcd-nibble-order @@ src/core/measuredecoders.cpp @@ v = v * 100 + tens * 10 + units; @@ v = v * 100 + units * 10 + tens; @@ tst_measures:numbers,tables
crc-byte-order @@ src/core/wireframe.cpp @@ f.append(char(crc & 0xff));\n    f.append(char(crc >> 8)); @@ f.append(char(crc >> 8));\n    f.append(char(crc & 0xff)); @@ tst_linkcodec
sessioncfg-offset @@ src/core/sessionparameters.cpp @@ kPhone = 58, @@ kPhone = 57, @@ tst_sessioncfg
duplicate-rule @@ src/core/devicerecord.cpp @@ return listed.serialNumber == serialNumber && usesSerialNumber(); @@ return listed.serialNumber == serialNumber; @@ tst_devicerecord tst_devicelist:addItems
stand-mask @@ src/core/standframe.cpp @@ return quint32(1) << (position - 1); @@ return quint32(1) << position; @@ tst_linkcodec:standRequest tst_stend
calibration-not-saved @@ src/core/calibration.cpp @@ return {blockWrite(kBlockObject1, block),\n            catalogue::serviceCommand(catalogue::CalibrationSaved)}; @@ return {blockWrite(kBlockObject1, block)}; @@ tst_calibration:byteTexts,stepResults
calibration-window @@ src/core/calibration.cpp @@ return {nominal / 2, nominal * 2}; @@ return {nominal / 2, nominal * 3}; @@ tst_calibration:stepResults,procedureRefusals
calibration-repeat @@ src/core/calibration.cpp @@ return reset == block; @@ return true; @@ tst_calibration:procedureRefusals
calibration-reset-lost @@ src/config/calibrationpage.cpp @@ m_pendingReset = calibration::isProcedure(index) ? index : 0; @@ m_pendingReset = 0; @@ tst_calibration:procedureOnPage
calibration-owner @@ src/config/calibrationpage.cpp @@ if (!item || !owner || item->record().duplicates(*owner)) @@ if (!item || !owner) @@ tst_calibration:writeToAnotherMeterAsks
EOF

root=$(cd "$(dirname "$0")/.." && pwd)
scratch=${METER_MUTANTS_DIR:-${TMPDIR:-/tmp}/metertool-mutants}
filter=${1:-.}
src=$scratch/src
build=$scratch/build
export QT_QPA_PLATFORM=offscreen
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$scratch}
# A test that hangs counts as failing, so as catching its mutant.
test_limit=${METER_MUTANTS_TEST_SECONDS:-900}

names=() files=() froms=() tos=() plans=()
while IFS= read -r line; do
    [[ -z $line || $line == \#* ]] && continue
    line=${line//' @@ '/$'\x1f'}
    IFS=$'\x1f' read -r name file from to plan <<<"$line"
    [[ $name =~ $filter ]] || continue
    names+=("$name") files+=("$file") froms+=("$from") tos+=("$to") plans+=("$plan")
done <<<"$TABLE"
[ ${#names[@]} -gt 0 ] || { echo "no mutation matches '$filter'" >&2; exit 2; }

# The scratch copy follows the tree's files, tracked or new; a file that differs is copied with
# a fresh time, so the build notices it.
sync_tree() {
    mkdir -p "$src"
    (cd "$root" && git ls-files -z --cached --others --exclude-standard) |
        while IFS= read -r -d '' f; do
            [ -f "$root/$f" ] || continue
            if ! cmp -s "$root/$f" "$src/$f"; then
                mkdir -p "$(dirname "$src/$f")"
                cp "$root/$f" "$src/$f"
            fi
        done
}

# Replaces the one occurrence of $2 by $3 in $1 ("\n" a line break); status 3 when the text is
# there other than once.
mutate() {
    FROM=$2 TO=$3 perl -e '
        my $f = $ARGV[0];
        open(my $in, "<", $f) or die "$f: $!";
        local $/; my $s = <$in>; close $in;
        my ($a, $b) = ($ENV{FROM}, $ENV{TO});
        s/\\n/\n/g for ($a, $b);
        my $n = 0; my $at = -1;
        for (my $i = index($s, $a); $i >= 0; $i = index($s, $a, $i + 1)) { $n++; $at = $i; }
        exit 3 if $n != 1;
        substr($s, $at, length $a) = $b;
        open(my $out, ">", $f) or die "$f: $!"; print $out $s; close $out;' "$1"
}

restore() {
    [ -n "${current:-}" ] || return 0
    cp "$root/$current" "$src/$current"
    touch "$src/$current"
    current=
}
trap restore EXIT
trap 'exit 130' INT TERM

programs_of() {
    local p
    for p in $1; do echo "${p%%:*}"; done
}

# Runs each test program of a plan with its functions; false at the first that fails, which is
# left in failed_by.
run_plan() {
    local p prog fns
    failed_by=
    for p in $1; do
        prog=${p%%:*}
        fns=
        [[ $p == *:* ]] && fns=${p#*:} && fns=${fns//,/ }
        # shellcheck disable=SC2086
        if ! (cd "$build/tests" && timeout "$test_limit" "./$prog" $fns) >"$scratch/last.log" 2>&1; then
            failed_by=$p
            return 1
        fi
    done
    return 0
}

build_targets() {
    # shellcheck disable=SC2046
    cmake --build "$build" -j "${METER_MUTANTS_JOBS:-2}" --target $(sort -u <<<"$1") \
        >"$scratch/build.log" 2>&1
}

echo "== scratch copy in $scratch"
sync_tree
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DMETER_BUILD_BENCH=OFF >"$scratch/configure.log"
fi

all_plans=$(printf '%s\n' "${plans[@]}" | tr ' ' '\n' | sort -u | tr '\n' ' ')
all_programs=$(programs_of "$all_plans")
echo "== unmutated build and tests"
build_targets "$all_programs" || { echo "the unmutated tree does not build: $scratch/build.log" >&2; exit 2; }
for plan in $all_plans; do
    run_plan "$plan" || { echo "unmutated, $plan fails already: $scratch/last.log" >&2; exit 2; }
done

caught=0 missed=0 broken=0
for i in "${!names[@]}"; do
    name=${names[$i]} file=${files[$i]}
    current=$file
    if ! mutate "$src/$file" "${froms[$i]}" "${tos[$i]}"; then
        current=
        printf '%-24s NOT FOUND ONCE in %s\n' "$name" "$file"
        broken=$((broken + 1))
        continue
    fi
    if ! build_targets "$(programs_of "${plans[$i]}")"; then
        cp "$scratch/build.log" "$scratch/$name.build.log"
        printf '%-24s DOES NOT BUILD (%s)\n' "$name" "$scratch/$name.build.log"
        broken=$((broken + 1))
    elif run_plan "${plans[$i]}"; then
        printf '%-24s missed   by %s\n' "$name" "${plans[$i]}"
        missed=$((missed + 1))
    else
        printf '%-24s caught   by %s\n' "$name" "$failed_by"
        caught=$((caught + 1))
    fi
    restore
done

total=${#names[@]}
echo "== $caught of $total caught, $missed missed, $broken broken"
# The scratch build is left with the tree as it is, ready for the next run.
build_targets "$all_programs" || true
[ "$caught" -eq "$total" ]
