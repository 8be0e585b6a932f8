#!/usr/bin/env bash
# How scripts/test-runner.sh chooses between starting the 32-bit programs
# directly and under the emulator, with stand-in engines: one that answers
# "uci", one that starts but answers wrongly, and a binary this kernel
# refuses, as a kernel without 32-bit support refuses a 32-bit engine.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
runner="$root/scripts/test-runner.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check NAME EXPECTED-STATUS EXPECTED-OUTPUT EXPECTED-ERROR-LINES -- COMMAND...
check() {
    local name=$1 status=$2 output=$3 lines=$4
    shift 5
    local got got_status got_lines
    got=$("$@" 2> "$work/stderr")
    got_status=$?
    got_lines=$(wc -l < "$work/stderr")
    if [ "$got_status" != "$status" ] || [ "$got" != "$output" ] || [ "$got_lines" != "$lines" ]; then
        echo "FAILED $name: status $got_status (want $status), output '$got' (want '$output')," \
            "$got_lines error lines (want $lines):"
        cat "$work/stderr"
        failures=$((failures + 1))
    fi
}

printf '#!/bin/sh\nread line; echo "id name Stand-in"; echo uciok\n' > "$work/good"
printf '#!/bin/sh\necho "id name Stand-in"\n' > "$work/wrong"
# Starts like an ELF file, so the shell neither runs it as a script nor
# starts it: "cannot execute binary file", status 126.
printf '\177ELF\002\001\001\000garbage' > "$work/refused"
printf '#!/bin/sh\necho "emulated: $*"\n' > "$work/fake-qemu"
chmod +x "$work/good" "$work/wrong" "$work/refused" "$work/fake-qemu"

export OSTREVALK_EMULATE_32=""
export OSTREVALK_NO_INSTALL=1  # a test installs nothing
export OSTREVALK_QEMU_I386="$work/fake-qemu"

check "64-bit configurations start directly" 0 "" 0 -- "$runner" 64 "$work/refused"
check "a 32-bit engine that answers starts directly" 0 "" 0 -- "$runner" 32 "$work/good"
# A wrong engine is tested natively, so that the tests show what is wrong.
check "a wrong engine starts directly, with a note" 0 "" 1 -- "$runner" 32 "$work/wrong"
check "a refused engine runs under the emulator" 0 "$work/fake-qemu" 0 -- "$runner" 32 "$work/refused"
OSTREVALK_EMULATE_32=1 check "the emulated path can be forced" 0 "$work/fake-qemu" 0 -- \
    "$runner" 32 "$work/good"
# No emulator, and none to be installed: one line, and a failure.
OSTREVALK_QEMU_I386=no-such-emulator check "no emulator: one line and a failure" 1 "" 1 -- \
    "$runner" 32 "$work/refused"
check "an unknown configuration is an error" 2 "" 1 -- "$runner" sparc "$work/good"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "runner choice: all checks passed"
