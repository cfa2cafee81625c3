#!/usr/bin/env bash
# The man page of tavro-cli against its --help: every option of the help is an
# item under OPTIONS, every exit status of the help is under EXIT STATUS. Each
# page given is also run through groff, which must not warn.
#   man_page_test.sh TAVRO_CLI TAVRO_CLI_PAGE [OTHER_PAGE...]
set -u
CLI=$1
PAGE=$2
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

help=$("$CLI" --help) || { echo "FAIL tavro-cli --help exits with $?"; exit 1; }

# The lines of one section of the page with the escapes that only typeset the
# text taken out: \- is -, font changes and \& go.
section() {
  awk -v name="$1" '/^\.SH/ { inside = ($0 ~ "^\\.SH \"?" name "\"?$"); next } inside' "$PAGE" |
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g'
}
# Item tags: the line after each .TP, without its macro.
tags=$(section OPTIONS | awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' |
       sed -E 's/^\.[A-Z]+ //; s/"//g')

long=$(grep -oE -- '--[a-z][a-z0-9-]*' <<< "$help" | sort -u)
short=$(grep -oE -- '^ +-[A-Za-z]\b' <<< "$help" | tr -d ' ' | sort -u)
options=$(printf '%s\n%s\n' "$long" "$short" | grep -v '^$')
count=$(wc -l <<< "$options")
# A help text without its option list would pass everything below.
[ "$count" -ge 10 ] || fail "only $count options found in --help"
for option in $options; do
  grep -qE -- "(^|[^A-Za-z0-9-])${option}([^A-Za-z0-9-]|\$)" <<< "$tags" ||
    fail "$option is in --help but not an item under OPTIONS in $PAGE"
done

codes=$(sed -n '/^Exit status/,/^$/p' <<< "$help" | grep -oE '(^|[:,] )[0-9]+ ' | grep -oE '[0-9]+')
[ -n "$codes" ] || fail "no exit status found in --help"
for code in $codes; do
  section "EXIT STATUS" | grep -qx "\.B $code" || fail "exit status $code is not under EXIT STATUS"
done

if command -v groff > /dev/null; then
  for page in "${@:2}"; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
  done
else
  echo "groff not found; the pages are not typeset"
fi

echo "$count options, exit statuses $(echo $codes), $failures failures"
[ "$failures" -eq 0 ]
