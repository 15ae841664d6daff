#!/usr/bin/env bash
# Every command and option that the programs' usage texts name is in their manual page.
# Usage: man_options_test.sh NUSK SUMTOR MANDIR
set -uo pipefail
nusk=$1 sumtor=$2 mandir=$3
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
failed=0

# The page's words, with roff's escaped minus signs and font changes undone.
page_words() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$1" | tr -s ' \t,()|"[]' '\n'; }

check() {  # check PAGE SOURCE WORD...
  local page=$1 source=$2 word words
  shift 2
  words=$(page_words "$page")
  [ $# -gt 0 ] || { echo "FAIL: no options found in $source"; failed=1; return; }
  for word in "$@"; do
    if ! grep -qxF -- "$word" <<<"$words"; then
      echo "FAIL: $source names \"$word\", $(basename "$page") does not"
      failed=1
    fi
  done
}

options() { grep -oE -- '(^|[[:space:][])--?[A-Za-z][A-Za-z-]*' | tr -d ' \t[' | sort -u; }

usage=$("$nusk" --dbdir "$home" -h)
check "$mandir/nusk.1" "nusk -h" $(sed -n 's/^Command: \([a-z_]*\).*/\1/p' <<<"$usage") $(options <<<"$usage")
find_help=$("$nusk" --dbdir "$home" find --help)
check "$mandir/nusk.1" "nusk find --help" $(options <<<"$find_help")
build_usage=$("$nusk" --dbdir "$home" build --no-such-option)
check "$mandir/nusk.1" "nusk build usage" $(options <<<"$build_usage")
sumtor_usage=$("$sumtor" 2>&1)
check "$mandir/sumtor.1" "sumtor usage" $(options <<<"$sumtor_usage")

[ $failed -eq 0 ] && echo "every option of the usage texts is in the manual pages"
exit $failed
