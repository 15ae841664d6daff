#!/usr/bin/env bash
# The bash completion offers sub-commands, options, the drive letters of [Drives] and the
# query switches after "/".  Usage: completion_test.sh COMPLETION_FILE
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
failed=0

expect() {  # expect LINE WORD... : completing LINE (cursor at its end) offers exactly WORDs
  COMP_LINE=$1 COMP_POINT=${#1} COMPREPLY=()
  _nusk
  local got="${COMPREPLY[*]}" want="${*:2}"
  if [ "$got" != "$want" ]; then
    echo "FAIL: [$1] offers \"$got\", expected \"$want\""
    failed=1
  fi
}

mkdir -p "$home/mapped" "$home/default/nusk" "$home/none"
printf '[Other]\nF=/x\n[drives]\r\nC=/\n d = /srv\nn=/images/volume.ntfs\nE=\n' >"$home/mapped/nusk.ini"

expect "nusk " build find clean webserver web build_server gui
expect "nusk b" build build_server
expect "nusk -" --dbdir -h -v --version
# Letters with a value in [Drives], whatever the case of the section or the key.
expect "nusk --dbdir $home/mapped build " C D N
expect "nusk clean --dbdir $home/mapped/ " C D N
expect "nusk --dbdir $home/mapped build --r" --remoteDrives
# No [Drives] section: C is the root. The default home is $XDG_DATA_HOME/nusk.
expect "nusk --dbdir $home/none clean " C
printf '[Drives]\nQ=/q\n' >"$home/default/nusk/nusk.ini"
XDG_DATA_HOME=$home/default expect "nusk build " Q
# Query switches after "/", and options of find.
expect "nusk find abc /s" /size: /sort:
expect "nusk find /h" /hash: /hidden
expect "nusk find /o" /online /offline
expect "nusk find --" --in -- --help --dbdir
# readline replaces only the text after the last ':' of the word.
expect "nusk find /sort:d" date+ date- dupCount+ dupCount-
expect "nusk webserver --p" --port --password
expect "nusk --dbdir $home/m" "$home/mapped"

[ $failed -eq 0 ] && echo "completion offers what each position needs"
exit $failed
