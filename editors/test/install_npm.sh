#!/usr/bin/env bash
# Installs the npm packages of the TextMate test (package-lock.json, exact
# versions) into DIR/node_modules, once: a later run with the same lock file
# does nothing. npm keeps its download cache in ~/.npm, so a new build
# directory installs without the network once the cache holds the packages.
# Usage: install_npm.sh DIR
set -u
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in node npm; do
  command -v $tool > /dev/null || { echo "$tool is missing: install Node.js and npm (README, Prerequisites)"; exit 1; }
done
mkdir -p "$dir" || exit 1
if [ -d "$dir/node_modules" ] && cmp -s "$here/package-lock.json" "$dir/installed-lock.json"; then
  echo "npm packages already installed in $dir"
  exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$dir/" || exit 1
(cd "$dir" && npm ci --no-audit --no-fund --loglevel=error --prefer-offline) || exit 1
cp "$here/package-lock.json" "$dir/installed-lock.json"
echo "npm packages installed in $dir"
