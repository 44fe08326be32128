#!/usr/bin/env bash
# Tokenizes every model of examples/ and tests/e2e/docs/ with the TextMate
# grammar (editors/vscode) as VS Code does, and checks the scope of each
# construct (tokenize.js, constructs.pl).
# Usage: check_textmate.sh DIR   (DIR holds node_modules, see install_npm.sh)
set -u
modules=$(cd "$1" && pwd)/node_modules
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
command -v node > /dev/null || { echo "node is missing: install Node.js (README, Prerequisites)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$root" || exit 1
perl "$here/constructs.pl" examples/*.vorn tests/e2e/docs/*.vorn > "$tmp/constructs.tsv" 2> "$tmp/unparsed" || exit 1
# Models with a mistake are not held to "nothing marked invalid".
unparsed=$(sed -n 's/: \(does not parse\|has characters\).*//p' "$tmp/unparsed" | sort -u | paste -sd: -)
VORN_UNPARSED=$unparsed NODE_PATH=$modules node "$here/tokenize.js" editors/vscode/syntaxes/vorn.tmLanguage.json "$tmp/constructs.tsv"
