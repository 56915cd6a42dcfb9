#!/usr/bin/env bash
# Every option a program's --help prints has its entry in the program's
# manual page, and every option the page describes is one the program has.
#   manual_pages_test.sh PROGRAM PAGE [PROGRAM PAGE...]
set -euo pipefail
status=0
while [ $# -ge 2 ]; do
  program=$1 page=$2
  shift 2
  helped=$("$program" --help | grep -oE '^  (-h, )?--[a-z][a-z0-9-]*' | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
  [ -n "$helped" ] || { echo "$program --help lists no option"; status=1; }
  # The page as a reader sees it: \-\-run\-plugin reads --run-plugin. An
  # option's entry is the line after .TP.
  described=$(sed 's/\\//g' "$page" | awk 'after { print } { after = /^\.TP/ }' \
    | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
  missing=$(comm -23 <(echo "$helped") <(echo "$described"))
  stale=$(comm -13 <(echo "$helped") <(echo "$described"))
  for o in $missing; do echo "$(basename "$page"): no entry for $o, which $(basename "$program") --help lists"; status=1; done
  for o in $stale; do echo "$(basename "$page"): an entry for $o, which $(basename "$program") does not have"; status=1; done
done
[ $status -eq 0 ] && echo "every option of the programs has its entry in their manual pages"
exit $status
