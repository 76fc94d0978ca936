#!/bin/bash
# The fault sweep: each operation of the program (a save, an import, an
# export, a backup, a sheet, a CSV and a PDF) run alone, once for every Nth
# call of each file system call it makes, with that call failing (EIO, then
# ENOSPC). After each run the files are checked: both pass integrity_check,
# and they hold the operation's result when it reported success, the old
# state otherwise (a failure reported for a change that was stored anyway is
# counted apart). Ends with "runs N, intact N, lost N, reported failures N".
#
#   crash/sweep.sh [MAX_N] [OPERATION...]
#
# MAX_N bounds N for each call (50 by default; a call made fewer times ends
# its own series). Needs strace (Debian package strace) and a build:
# cmake --build build --target crashtest
set -u
cd "$(dirname "$0")/.."
max=${1:-50}
shift || true
ops=("$@")
[ ${#ops[@]} -gt 0 ] || ops=(save import export backup sheet csv pdf)
calls=(pwrite64 write fsync fdatasync rename unlink openat close fcntl)
errors=(EIO ENOSPC)
crashtest=$PWD/build/crashtest

if ! command -v strace >/dev/null; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        apt-get install -y strace >/dev/null || exit 2
    else
        echo "sweep: strace is needed (Debian package strace)" >&2
        exit 2
    fi
fi
[ -x "$crashtest" ] || { echo "sweep: build $crashtest first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vddb-sweep.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$crashtest" --prepare "$work/before" 2>/dev/null || exit 2

# Runs one operation on a fresh copy of the laid-out folder; with a fault,
# under strace from the moment the files are open. Leaves the folder in
# $work/run, the operation's report in $work/result and strace's in $work/trace.
run_once() {
    local op=$1 inject=${2:-}
    rm -rf "$work/run" "$work/trace"
    cp -a "$work/before" "$work/run"
    : >"$work/result"
    if [ -z "$inject" ]; then
        "$crashtest" --op "$op" "$work/run" >"$work/result" 2>/dev/null
        return
    fi
    "$crashtest" --op "$op" "$work/run" --stop >"$work/result" 2>/dev/null &
    local pid=$!
    # Stopped once the files are open (state T); ended (Z) when it could not
    # open them.
    local state=
    while state=$(awk '{print $3}' /proc/$pid/stat 2>/dev/null) && [ "$state" != T ] && [ "$state" != Z ]; do
        sleep 0.01
    done
    if [ "$state" != T ]; then
        wait $pid
        return
    fi
    strace -f -qq -o "$work/trace" -e trace="${inject%%:*}" -e inject="$inject" -p $pid 2>/dev/null &
    local tracer=$!
    while kill -0 $tracer 2>/dev/null && [ "$(awk '/^TracerPid/ {print $2}' /proc/$pid/status 2>/dev/null)" = 0 ]; do
        sleep 0.01
    done
    kill -CONT $pid 2>/dev/null
    wait $pid
    wait $tracer
}

runs=0 intact=0 lost=0 reported=0 stored=0
for op in "${ops[@]}"; do
    run_once "$op"
    if [ "$(cat "$work/result")" != "A ok" ]; then
        echo "sweep: $op fails without a fault: $(cat "$work/result")" >&2
        exit 2
    fi
    rm -rf "$work/after"
    mv "$work/run" "$work/after"
    for call in "${calls[@]}"; do
        for error in "${errors[@]}"; do
            for ((n = 1; n <= max; n++)); do
                run_once "$op" "$call:error=$error:when=$n"
                # Past the last call of this kind nothing was injected.
                grep -q INJECTED "$work/trace" 2>/dev/null || break
                runs=$((runs + 1))
                result=$(head -n 1 "$work/result")
                [ "${result:0:2}" = "A " ] || result="A fail no report (the process ended)"
                verdict=$("$crashtest" --verify "$op" "$work/run" "$work/before" "$work/after" "$result" 2>/dev/null)
                case "$verdict" in
                intact) intact=$((intact + 1)) ;;
                reported) intact=$((intact + 1)) reported=$((reported + 1)) ;;
                stored-though-failed)
                    intact=$((intact + 1)) reported=$((reported + 1)) stored=$((stored + 1))
                    echo "$op, $call $error at call $n: a failure reported for what was stored ($result)"
                    ;;
                *)
                    lost=$((lost + 1))
                    echo "$op, $call $error at call $n: $verdict"
                    ;;
                esac
            done
        done
    done
    echo "after $op: runs $runs, intact $intact, lost $lost, reported failures $reported"
done
echo "runs $runs, intact $intact, lost $lost, reported failures $reported (stored all the same $stored)"
[ $lost = 0 ]
