#!/usr/bin/env bash
# Decides how the tests start the programs of one build configuration and
# prints that runner command (nothing when they are started directly):
#
#   scripts/test-runner.sh CONFIG ENGINE
#
# The 64-bit configurations run natively. For the 32-bit one the built engine
# is started once: if it answers "uci" with "uciok", the machine runs 32-bit
# programs and so do the tests. If the kernel refuses the binary (the shell
# reports it cannot execute it, status 126), the tests run under the i386
# user-mode emulator, which is installed first when missing; where it cannot
# be had, one line says what is missing and how to install it, and the exit
# status is 1. An engine that starts but gives a wrong answer is tested
# natively, so that the tests report what is wrong with it.
#
# OSTREVALK_EMULATE_32=1 takes the emulated path on any machine, to try it.
#
# The cross-compiled configurations always need a runner: Wine for the
# Windows builds (windows-64, windows-popcount), the ARM64 user-mode emulator
# for arm64. Each is installed when missing, or named in the one line.
set -uo pipefail
here=$(dirname "$0")
config=$1
engine=$2

# Prints the path of the first command found, else nothing.
first_found() {
    for candidate in "$@"; do
        if command -v "$candidate" 2> /dev/null; then return 0; fi
    done
    return 1
}

# The runner for a cross-compiled build: its path, installing its package
# when none of the commands is found.
cross_runner() {
    local group=$1 what=$2
    shift 2
    first_found "$@" && return 0
    "$here/install-deps.sh" --why "the tests of the $config build need $what" "$group" || return 1
    first_found "$@" && return 0
    echo "the tests of the $config build need $what, which is not found even with its package installed" >&2
    return 1
}

case "$config" in
    64 | popcount) exit 0 ;;
    32) ;;
    windows-*)
        # Debian's wine64 package has its loader outside the PATH.
        cross_runner wine "Wine (wine64)" wine64 /usr/lib/wine/wine64
        exit
        ;;
    arm64)
        cross_runner emulator "the ARM64 emulator qemu-aarch64" "${OSTREVALK_QEMU_AARCH64:-qemu-aarch64}"
        exit
        ;;
    *)
        echo "test-runner.sh: unknown configuration '$config'" >&2
        exit 2
        ;;
esac

if [ -z "${OSTREVALK_EMULATE_32:-}" ]; then
    reply=$(printf 'uci\nquit\n' | "$engine" 2> /dev/null)
    status=$?
    if grep -qx uciok <<< "$reply"; then
        exit 0
    fi
    if [ "$status" -ne 126 ]; then
        echo "test-runner.sh: $engine starts but did not answer uci with uciok (exit status $status)" >&2
        exit 0
    fi
fi

emulator=${OSTREVALK_QEMU_I386:-qemu-i386}
why="this kernel cannot start 32-bit programs and the tests need the emulator $emulator"
opt_out='leave the 32-bit tests out: make test CONFIGS="64 popcount"'
if ! command -v "$emulator" > /dev/null; then
    "$here/install-deps.sh" --why "$why" --or "$opt_out" emulator || exit 1
fi
if ! path=$(command -v "$emulator"); then
    echo "$why: not found even with qemu-user installed; install qemu-user, or $opt_out" >&2
    exit 1
fi
echo "$path"
