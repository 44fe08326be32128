#!/usr/bin/env bash
# Opens every model of examples/ and tests/e2e/docs/ in Vim (headless, with
# editors/vim as its only runtime addition) and checks the syntax group of
# each construct that constructs.pl finds, and that *.vorn is detected as
# filetype vorn.
# Usage: check_vim.sh
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
command -v vim > /dev/null || { echo "vim is missing: apt-get install vim (README, Prerequisites)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$root" || exit 1
# In the order of the text, so that Vim works out each line's syntax once.
perl "$here/constructs.pl" examples/*.vorn tests/e2e/docs/*.vorn 2> "$tmp/unparsed" |
  sort -t "$(printf '\t')" -k1,1 -k2,2n -k3,3n > "$tmp/constructs.tsv" || exit 1
unparsed=$(sed -n "s/: \(does not parse\|has characters\).*/'/p" "$tmp/unparsed" | sed "s/^/'/" | sort -u | paste -sd, -)
HOME=$tmp vim -N -u NONE -i NONE -n -es \
  -c "set runtimepath^=$root/editors/vim" -c 'filetype on' -c 'syntax on' \
  -c "let g:constructs = '$tmp/constructs.tsv'" -c "let g:unparsed = [$unparsed]" \
  -c "let g:report = '$tmp/report'" -S "$here/check_vim.vim" < /dev/null
status=$?
cat "$tmp/report" 2> /dev/null || echo "Vim wrote no report (status $status)"
exit $status
