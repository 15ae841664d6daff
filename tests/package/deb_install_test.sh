#!/usr/bin/env bash
# Installs the .deb into a fresh minimal Debian 12 root and uses it there as an unprivileged
# user: build the index of the root, find in it, the completion loads.
# Usage (as root): deb_install_test.sh DEB
# The pristine root (debootstrap --variant=minbase bookworm) is made once and kept in
# $NUSK_DEBIAN_ROOT (default /var/tmp/nusk-debian12-root); each run works on a copy.
set -euo pipefail
deb=$(realpath "$1")
pristine=${NUSK_DEBIAN_ROOT:-/var/tmp/nusk-debian12-root}
[ "$(id -u)" -eq 0 ] || { echo "needs root (chroot)"; exit 77; }
if [ ! -x "$pristine/usr/bin/dpkg" ]; then
  rm -rf "$pristine.tmp"
  mirror=$(sed -n 's/^URIs: *\([^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
  debootstrap --variant=minbase bookworm "$pristine.tmp" "${mirror:-http://deb.debian.org/debian}" >/dev/null
  mv "$pristine.tmp" "$pristine"
fi
root=$(mktemp -d /var/tmp/nusk-root.XXXXXX)
trap 'rm -rf "$root"' EXIT
cp -a "$pristine/." "$root/"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Depends must be met by the root as it is: dpkg refuses otherwise.
dpkg --root="$root" -i "$deb" >/dev/null
chroot "$root" useradd -m tester
uid=$(chroot "$root" id -u tester)
# As the user, in a mount namespace of its own with /proc (the mount table lists mount
# points relative to the root, as in any chroot).
as_user() {
  unshare --mount --fork sh -c 'r=$0 u=$1; shift; mount -t proc proc "$r/proc" &&
    exec chroot --userspec="$u:$u" "$r" env -i HOME=/home/tester PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$@"' \
    "$root" "$uid" "$@"
}
touch "$root/before-build"
as_user sh -c 'cd && nusk build' >"$root/build.out" 2>&1 || fail "nusk build: $(cat "$root/build.out")"
[ -s "$root/home/tester/.local/share/nusk/nusk.frs" ] || fail "no index in the user's home"
found=$(as_user nusk find passwd 2>/dev/null) || fail "nusk find exited non-zero"
grep -qx /etc/passwd <<<"$found" || fail "nusk find passwd did not list /etc/passwd: $found"
# A second build is an update and a file made in between is found.
as_user sh -c 'touch "$HOME/fresh-file.txt" && nusk build' >/dev/null 2>&1 || fail "second nusk build"
[ "$(as_user nusk find fresh-file 2>/dev/null)" = /home/tester/fresh-file.txt ] || fail "new file not found after a build"
# Nothing is written outside the user's home but the build lock in the temp folder.
outside=$(find "$root" -path "$root/proc" -prune -o -newer "$root/before-build" -user "$uid" \
  -not -path "$root/home/tester*" -not -path "$root/tmp/nusk-lock-*" -print)
[ -z "$outside" ] || fail "the build wrote outside the user's home: $outside"
as_user bash -c 'source /usr/share/bash-completion/completions/nusk && complete -p nusk' >/dev/null ||
  fail "the bash completion does not load"
[ $failed -eq 0 ] && echo "the package installs into a minimal Debian 12 root and works there for a user"
exit $failed
