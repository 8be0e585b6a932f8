#!/usr/bin/env bash
# Installs the Debian or Ubuntu packages that a task needs and this machine
# lacks. The one list of every package the project uses is below; the
# Makefile and .ci/run name groups of it:
#
#   scripts/install-deps.sh [--why TEXT] [--or TEXT] GROUP...
#
# As root it runs apt-get, otherwise sudo apt-get. Where it can do neither
# (or the installation fails) it prints one line naming what is missing and
# the command that installs it, and exits with 1. With everything installed
# it prints nothing. With OSTREVALK_NO_INSTALL set it installs nothing and
# only prints that line. --why says what needs them (the start of that line),
# --or what else the user can do (its end). On a system without dpkg it cannot tell what is there:
# it says once what the groups need and leaves the rest to the build.
set -uo pipefail

# The package groups.
#   build     the engine alone ("make run"): make, CMake and a C++20 compiler
#   test      the tests of the 64-bit configurations (GoogleTest from source)
#   test32    the 32-bit configuration's tool chain
#   emulator  the user-mode emulators: i386 for kernels that cannot start
#             32-bit programs, ARM64 for the ARM64 build's tests
#   client    the client test: the engine played through polyglot
#   ci        what only continuous integration runs: the manual page check,
#             the format check and the clang fuzzing runtime
#   windows   the Windows x86-64 cross compiler (MinGW-w64, POSIX threads)
#   wine      Wine, which runs the Windows build's tests
#   arm64     the Linux ARM64 cross build: clang with Debian's ARM64 cross
#             libraries and binutils (GCC's ARM64 cross compiler conflicts
#             with g++-multilib)
packages_of() {
    case "$1" in
        build) echo make cmake g++ ;;
        test) echo googletest libgtest-dev ;;
        test32) echo g++-multilib ;;
        emulator) echo qemu-user ;;
        client) echo polyglot ;;
        ci) echo groff-base clang clang-format libclang-rt-14-dev ;;
        windows) echo g++-mingw-w64-x86-64-posix ;;
        wine) echo wine64 ;;
        arm64) echo clang libstdc++-12-dev-arm64-cross libc6-dev-arm64-cross binutils-aarch64-linux-gnu ;;
        *) echo "install-deps.sh: unknown package group '$1'" >&2; return 1 ;;
    esac
}

why="ostrevalk"
alternative=""
while [ $# -ge 2 ]; do
    case "$1" in
        --why) why=$2 ;;
        --or) alternative=", or $2" ;;
        *) break ;;
    esac
    shift 2
done

wanted=()
for group in "$@"; do
    names=$(packages_of "$group") || exit 2
    for name in $names; do
        [[ " ${wanted[*]} " == *" $name "* ]] || wanted+=("$name")
    done
done
((${#wanted[@]} > 0)) || exit 0

if ! command -v dpkg-query > /dev/null; then
    echo "install-deps.sh: no dpkg here to check for packages; this needs the equivalents of: ${wanted[*]}" >&2
    exit 0
fi

missing_packages() {
    for name in "${wanted[@]}"; do
        status=$(dpkg-query -W -f='${db:Status-Status}' "$name" 2> /dev/null)
        [ "$status" = installed ] || echo "$name"
    done
}

mapfile -t missing < <(missing_packages)
((${#missing[@]} > 0)) || exit 0

install_command="apt-get install -y --no-install-recommends ${missing[*]}"
if [ -n "${OSTREVALK_NO_INSTALL:-}" ]; then
    echo "$why: missing ${missing[*]}; install with: $install_command (as root)$alternative" >&2
    exit 1
elif [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo > /dev/null; then
    sudo=(sudo)
    install_command="sudo $install_command"
else
    echo "$why: missing ${missing[*]}; install with: $install_command (as root)$alternative" >&2
    exit 1
fi

echo "installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Mirrors can be slow or briefly unreachable, and another apt may hold the
# lock: wait for it and retry instead of failing at once. The package lists
# are fetched only when a package cannot be found in the ones there are.
apt_options=(-o Acquire::Retries=5 -o DPkg::Lock::Timeout=600)
# Never remove a package to make room: some tool chains conflict in Debian
# (the GCC ARM64 cross compiler and g++-multilib), and a silent removal
# would break another build on the same machine.
install_options=(-y --no-install-recommends --no-remove)
# apt's own output goes to a log that is kept only when it failed.
log=$(mktemp -t ostrevalk-apt.XXXXXX)
install() {
    "${sudo[@]}" apt-get "${apt_options[@]}" install "${install_options[@]}" "${missing[@]}" >> "$log" 2>&1
}
for attempt in 1 2; do
    install && rm -f "$log" && exit 0
    "${sudo[@]}" apt-get "${apt_options[@]}" update >> "$log" 2>&1
    install && rm -f "$log" && exit 0
    [ "$attempt" -eq 2 ] || sleep 15
done
echo "$why: missing ${missing[*]}; install with: $install_command (apt-get failed, see $log)$alternative" >&2
exit 1
