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
tariff-nibble-order @@ src/core/tariffschedule.cpp @@ const int a = byteOrUnset(zone.tariffs[0], top) << 4 | byteOrUnset(zone.tariffs[1], top); @@ const int a = byteOrUnset(zone.tariffs[1], top) << 4 | byteOrUnset(zone.tariffs[0], top); @@ tst_tariff tst_tariffpage tst_tariffsim
tariff-three-phase-object @@ src/core/tariffschedule.cpp @@ constexpr quint8 kFirstMonthThree = 0x89; @@ constexpr quint8 kFirstMonthThree = 0x88; @@ tst_tariff tst_tariffpage tst_tariffsim
tariff-use-mask @@ src/core/tariffschedule.cpp @@ mask |= 1 << (t + 1); @@ mask |= 1 << t; @@ tst_tariff tst_tariffpage tst_tariffsim
clock-sunday @@ src/core/clockdecoders.cpp @@ const int byte = date.dayOfWeek() + 1; @@ const int byte = date.dayOfWeek(); @@ tst_settings tst_settingssim
clock-coefficient-order @@ src/core/clockdecoders.cpp @@ catalogue::hexValue(v & 0xff) + QLatin1Char(' ') + catalogue::hexValue(v >> 8); @@ catalogue::hexValue(v >> 8) + QLatin1Char(' ') + catalogue::hexValue(v & 0xff); @@ tst_settings tst_settingssim
limits-power-bytes @@ src/core/settingsdecoders.cpp @@ valueBytes(thousandths(limits.power, 4), 4) @@ valueBytes(thousandths(limits.power, 4), 3) @@ tst_settings tst_settingssim
serial-padding @@ src/core/settingsdecoders.cpp @@ bytes.append(QByteArray(kSerialBytes - bytes.size(), '\0')); @@ bytes.append(QByteArray(kSerialBytes - bytes.size(), ' ')); @@ tst_settings tst_settingssim
modem-guard @@ src/link/csd.h @@ static constexpr int kGuardMs = 1100; @@ static constexpr int kGuardMs = 500; @@ tst_modemanswer tst_csd
modem-registration-limit @@ src/link/csd.h @@ static constexpr int kRegistrationLimitMs = 30000; @@ static constexpr int kRegistrationLimitMs = 3000; @@ tst_modemanswer tst_csd
modem-answer-time @@ src/link/csd.h @@ int answerMs = 5000; @@ int answerMs = 2000; @@ tst_modemanswer tst_csd
modem-connect-time @@ src/link/csd.h @@ int connectMs = 80000; @@ int connectMs = 30000; @@ tst_modemanswer tst_csd
modem-roaming @@ src/core/modemanswer.cpp @@ if (text.contains("1,1")) @@ if (text.contains("1,1") || text.contains("1,5")) @@ tst_modemanswer tst_csd
calibration-current-transfer @@ src/core/calibration.cpp @@ / x * 195.0f); @@ / x * 159.0f); @@ tst_calibration tst_calibrationsim
calibration-phase-shift @@ src/core/calibration.cpp @@ / 0.00054f + 128.0f); @@ / 0.00054f - 128.0f); @@ tst_calibration tst_calibrationsim
calibration-power-offset @@ src/core/calibration.cpp @@ 0.000027668f @@ 0.00027668f @@ tst_calibration tst_calibrationsim
calibration-reactive-offset @@ src/core/calibration.cpp @@ Formula::PowerOffset, 0x6e, 28, @@ Formula::PowerOffset, 0x6e, 25, @@ tst_calibration tst_calibrationsim
calibration-start-reset @@ src/core/calibration.cpp @@ row.resetNumber = 19; @@ row.resetNumber = 22; @@ tst_calibration tst_calibrationsim
csv-formula-guard @@ src/core/csvtable.cpp @@ QStringLiteral("=+-@") @@ QStringLiteral("=+@") @@ tst_records tst_recordpages tst_recordsim
csv-semicolon @@ src/core/csvtable.cpp @@ if (out.contains(QLatin1Char(';')) || out.contains(QLatin1Char('"')) || @@ if (out.contains(QLatin1Char('"')) || @@ tst_records tst_recordpages tst_recordsim
archive-units-single @@ src/core/recorddecoders.cpp @@ constexpr double kArchiveUnits1 = 5000.0; @@ constexpr double kArchiveUnits1 = 1000.0; @@ tst_records tst_recordpages tst_recordsim
archive-units-42 @@ src/core/recorddecoders.cpp @@ constexpr double kArchiveUnits42 = 1000.0; @@ constexpr double kArchiveUnits42 = 100.0; @@ tst_records tst_recordpages tst_recordsim
record-word-order @@ src/core/recorddecoders.cpp @@ return at(offset) | at(offset + 1) << 8; @@ return at(offset) << 8 | at(offset + 1); @@ tst_records tst_recordpages tst_recordsim
slice-register-scale @@ src/core/recorddecoders.cpp @@ constexpr double kRegisterScale = 100.0; // kWh x 100 @@ constexpr double kRegisterScale = 1000.0; // kWh x 100 @@ tst_records tst_recordpages tst_recordsim
job-channel-status @@ src/job/jobrunner.cpp @@ return 3; @@ return 1; @@ tst_meterjob
job-signal-status @@ src/job/jobrunner.cpp @@ return 128 + m_signal; @@ return 128; @@ tst_meterjob
job-failed-status @@ src/job/jobrunner.cpp @@ return m_failed > 0 ? 1 : 0; @@ return 0; @@ tst_meterjob
job-undone-count @@ src/job/jobrunner.cpp @@ .arg(all - m_ok - m_failed - m_interrupted); @@ .arg(all - m_ok - m_failed); @@ tst_meterjob
group-list-tail @@ src/core/changerlist.cpp @@ const QString tail = line.trimmed().right(2); @@ const QString tail = line.trimmed().right(3); @@ tst_addresschanger tst_grouprun tst_groupsim
group-list-zero @@ src/core/changerlist.cpp @@ if (address == 0) @@ if (address < 0) @@ tst_addresschanger tst_grouprun tst_groupsim
group-position-range @@ src/link/grouprun.cpp @@ if (pos < 1 || pos > standframe::kPositions) { @@ if (pos < 1) { @@ tst_addresschanger tst_grouprun tst_groupsim
group-stand-timeout @@ src/link/grouprun.cpp @@ constexpr int kStandTimeoutMs = 5000; @@ constexpr int kStandTimeoutMs = 2000; @@ tst_addresschanger tst_grouprun tst_groupsim
group-standard-link @@ src/config/paramspage.cpp @@ settings::Link link = settings::standardLink();\n    link.address = *address; @@ settings::Link link = settings::standardLink();\n    link.address = *address;\n    link.attempts = 5; @@ tst_addresschanger tst_grouprun tst_groupsim
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
