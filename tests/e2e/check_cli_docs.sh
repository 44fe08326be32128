#!/usr/bin/env bash
# The help text, the manual page (docs/vorn.1) and the README's usage section
# list the same options and exit statuses (docs/report.md, section 10, and
# docs/language.md, section 11, the same statuses), the help's warnings are described
# in the manual page, the README and docs/language.md, and the manual page
# carries the version the tool prints.
# Usage: check_cli_docs.sh VORN
set -u
vorn=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
fail=0
help=$("$vorn" --help) || { echo "vorn --help failed"; exit 1; }
# The manual page with its roff escapes for dashes and fonts undone.
man=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$root/docs/vorn.1")
readme=$(sed -n '/^## Usage/,/^## Install/p' "$root/README.md")
options=$(grep -o -e '--[a-z][a-z-]*' -e ' -[a-z],' -e '^  -w ' -e '-W[a-z-]*[=A-Z]*' <<< "$help" | tr -d ' ,' | sort -u)
[ -n "$options" ] || { echo "no options found in the help text"; exit 1; }
for option in $options; do
  grep -q -e "$option" <<< "$man" || { echo "docs/vorn.1 does not mention $option"; fail=1; }
  grep -q -e "\`$option" <<< "$readme" || { echo "README.md's usage does not mention $option"; fail=1; }
done
warnings=$(sed -n '/^place. Warnings/,/^$/p' <<< "$help" | sed -n 's/^  \([a-z-]*\)  .*/\1/p')
[ -n "$warnings" ] || { echo "no warnings found in the help text"; fail=1; }
for name in $warnings; do
  grep -q "^\.B $name\$" <<< "$man" || { echo "docs/vorn.1 does not describe the warning $name"; fail=1; }
  grep -q "\`$name\`" <<< "$readme" || { echo "README.md's usage does not name the warning $name"; fail=1; }
  grep -q "^| \`$name\` |" "$root/docs/language.md" || { echo "docs/language.md does not describe the warning $name"; fail=1; }
done
statuses=$(sed -n '/^Exit status:/,$p' <<< "$help" | grep -o '^  [0-9]\+' | tr -d ' ')
report_statuses=$(sed -n '/^## 10\. Exit statuses/,/^## 11\./p' "$root/docs/report.md")
language_statuses=$(sed -n '/^## 11\. Messages/,/^### Located/p' "$root/docs/language.md")
for status in $statuses; do
  grep -q "^\.B $status\$" "$root/docs/vorn.1" || { echo "docs/vorn.1 does not list exit status $status"; fail=1; }
  grep -q "^| $status |" <<< "$readme" || { echo "README.md does not list exit status $status"; fail=1; }
  grep -q "^| $status |" <<< "$report_statuses" || { echo "docs/report.md, section 10, does not list exit status $status"; fail=1; }
  grep -q "^- $status " <<< "$language_statuses" || { echo "docs/language.md, section 11, does not list exit status $status"; fail=1; }
done
grep -q -e '--expect' <<< "$report_statuses" || { echo "docs/report.md, section 10, does not say what --expect does"; fail=1; }
[ "$(echo $statuses)" = "0 1 2 3 4 130 143 255" ] || { echo "the help lists exit statuses $(echo $statuses)"; fail=1; }
version=$("$vorn" --version)
grep -q "^\.TH VORN 1 .*\"$version\"" "$root/docs/vorn.1" || {
  echo "docs/vorn.1 is not for $version"
  fail=1
}
[ $fail -eq 0 ] && echo "help, manual page and README agree on $(echo $options | wc -w) options and $(echo $warnings | wc -w) warnings"
exit $fail
