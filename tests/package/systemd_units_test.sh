#!/usr/bin/env bash
# The systemd user units pass `systemd-analyze verify` without a single complaint, and the
# build service counts the status of a build that found another one running as success.
# Usage: systemd_units_test.sh NUSK UNIT_DIR
set -uo pipefail
nusk=$1 units=$2
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# The units as installed, but starting the program under test.
for unit in nusk-build.service nusk-build.timer nusk-web.service; do
  sed "s#/usr/bin/nusk#$nusk#" "$units/$unit" >"$work/$unit"
done
mkdir -m 700 "$work/runtime"
# verify exits 0 on unknown keys and unparsable values: any output is a failure too.
out=$(cd "$work" && XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user --man=no verify \
  nusk-build.timer nusk-build.service nusk-web.service 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$out" ]; then
  echo "FAIL: systemd-analyze verify (status $status):"
  echo "$out"
  failed=1
fi

# A second build of one home folder ends at once; its status must be a success status.
home=$work/home
mkdir -p "$home" "$work/data"
printf '[Drives]\nD=%s\n' "$work/data" >"$home/nusk.ini"
"$nusk" --dbdir "$home" build >/dev/null || { echo "FAIL: first build"; failed=1; }
# The build lock is a file inside the home folder itself.
[ -f "$home/nusk_build.lock" ] || { echo "FAIL: no build lock file in the home folder"; failed=1; }
flock "$home/nusk_build.lock" "$nusk" --dbdir "$home" build >/dev/null
running=$?
allowed=$(sed -n 's/^SuccessExitStatus=//p' "$units/nusk-build.service")
if [ $running -eq 0 ] || ! grep -qw -- "$running" <<<"$allowed"; then
  echo "FAIL: a build that finds another running exits $running; SuccessExitStatus is \"$allowed\""
  failed=1
fi

[ $failed -eq 0 ] && echo "units verified; a build finding another running counts as success"
exit $failed
