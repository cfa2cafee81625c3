#!/usr/bin/env bash
# tavro-cli end to end: output bytes, exit statuses, messages and files.
set -u
CLI=$1
WORK=$2
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
failures=0
passed=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  fi
}

printf -- '-0, 1 |-1, 3' > two.trm
out=$("$CLI" --pis two.trm | od -An -c | tr -s ' ' | tr -d '\n')
check "two functions, both sections, CRLF" \
  "$(printf 'All Prime Implicants\r\nf0 = (~A) + (~A)(B)\r\nf1 = (B) + (~A)(B)\r\n\r\nOptimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n' | od -An -c | tr -s ' ' | tr -d '\n')" "$out"

"$CLI" --status two.trm > /dev/null 2> status.txt
check "status texts in order" "Generating zero cubes...|Generating 1 Cubes...|Generating 2 Cubes...|Creating prime implicant matrix...|Finding (secondary) essential prime implicants...|Done." "$(paste -sd'|' status.txt)"

check "pos, terms toggle" "$(printf 'f0 = (2, 3)\r\nf1 = (0, 2)\r')" "$("$CLI" --pos --terms two.trm | sed -n 2,3p)"
check "no sections" "" "$("$CLI" --no-optimized two.trm)"

"$CLI" -o out.txt --vhdl design --date 8/12/2026 two.trm
check "-o writes the file" "$(printf 'Optimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n')" "$(cat out.txt)"
check "vhdl extension and date" "-- Date: 8/12/2026" "$(sed -n 3p design.vhd | tr -d '\r')"
check "vhdl ends without line end" "end struct;" "$(tail -c 11 design.vhd)"

printf -- '-1 | |-2' > empty.trm
"$CLI" empty.trm > stdout.txt 2> stderr.txt
check "empty function refused" "3" "$?"
check "empty function message" "Function 1 contains no terms!" "$(cat stderr.txt)"
check "nothing printed when refused" "" "$(cat stdout.txt)"

printf '' > none.trm
"$CLI" none.trm > stdout.txt
check "no input bits: success" "0" "$?"
check "no input bits: nothing printed" "" "$(cat stdout.txt)"

printf -- '-16777216' > wide.trm
"$CLI" wide.trm 2> stderr.txt
check "too wide refused" "3" "$?"
check "too wide message" "Too many input bits: 25 (at most 24)." "$(cat stderr.txt)"

"$CLI" missing.trm 2> stderr.txt
check "missing file" "2" "$?"
check "missing file message" "tavro-cli: missing.trm: File not found" "$(cat stderr.txt)"
printf -- '-1, 99999999999' > big.trm
"$CLI" big.trm 2> stderr.txt
check "number too large" "2" "$?"
check "number too large message" "tavro-cli: big.trm: '99999999999' is not a valid integer value" "$(cat stderr.txt)"
"$CLI" --frobnicate two.trm 2> /dev/null
check "unknown option" "2" "$?"
"$CLI" 2> /dev/null
check "no file" "2" "$?"
"$CLI" --help > help.txt
check "help" "0" "$?"
grep -q -- '--vhdl PATH' help.txt
check "help lists options" "0" "$?"
"$CLI" --version > /dev/null
check "version" "0" "$?"
"$CLI" -o /nonexistent/dir/out.txt two.trm 2> stderr.txt
check "unwritable output" "2" "$?"
check "unwritable output message" "tavro-cli: Cannot create file /nonexistent/dir/out.txt: No such file or directory" "$(cat stderr.txt)"

"$CLI" --stats two.trm 2> stats.txt > /dev/null
for name in inputs outputs "zero cubes" implicants primes chart selected seconds "peak MiB"; do
  grep -q "^$name: " stats.txt
  check "stats line '$name'" "0" "$?"
done
check "stats chart size" "chart: 3 x 4" "$(grep '^chart: ' stats.txt)"

# Expressions instead of a file: the same output as the term file of the same
# functions (A~B + AB is A, rows 4-7 of three inputs; C is rows 1, 3, 5, 7).
printf -- '-4, 5, 6, 7 |-1, 3, 5, 7' > expr.trm
for mode in --sop --pos; do
  check "expressions $mode as the term file" "$("$CLI" $mode --pis expr.trm)" \
    "$("$CLI" $mode --pis -e "A~B + AB" --expr "C")"
done
check "--inputs widens the expressions" "$("$CLI" two.trm)" "$("$CLI" -e "~A" -e "B" --inputs 2)"
"$CLI" -e "A + (B" 2> stderr.txt
check "expression error status" "2" "$?"
check "expression error message" "tavro-cli: expression 1: expected ')' at column 7" "$(cat stderr.txt)"
"$CLI" -e "C" --inputs 2 2> /dev/null
check "--inputs below the variables used" "2" "$?"
"$CLI" -e "A" two.trm 2> /dev/null
check "file and expressions together" "2" "$?"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
