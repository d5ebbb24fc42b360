#!/usr/bin/env bash
# The Intune scripts of each scope, setting and removing, parsed with a real PowerShell grammar (tree-sitter-powershell
# through web-tree-sitter, from the npm registry into the build folder on first use; node and npm
# come from scripts/setup) and checked for what they touch: intune_grammar.cjs.
#   intune_grammar.sh TARNWICK_CLI BUILD_DIR
set -euo pipefail
cli=$1
modules=$2/npm-powershell
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$modules/node_modules/tree-sitter-powershell/tree-sitter-powershell.wasm" ]; then
  mkdir -p "$modules"
  # The grammar comes from the npm registry; without it (no network, an unknown proxy
  # certificate) the test cannot run, and says why rather than passing.
  if ! npm install --prefix "$modules" --ignore-scripts --no-audit --no-fund --silent \
    tree-sitter-powershell@0.26.4 web-tree-sitter@0.25 >&2; then
    echo "SKIP: the PowerShell grammar could not be installed from the npm registry" >&2
    exit 77
  fi
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$cli" intune --drives CDE --policy both --output "$out/users" >/dev/null
"$cli" intune --drives CDE --policy both --offline-profiles --output "$out/offline" >/dev/null
"$cli" intune --drives CDE --policy both --machine --output "$out/machine" >/dev/null
"$cli" intune --remove --policy both --output "$out/users" >/dev/null
"$cli" intune --remove --policy both --offline-profiles --output "$out/offline" >/dev/null
"$cli" intune --remove --policy both --machine --output "$out/machine" >/dev/null
# Liftoff only: the optimising compiler would spend a minute on the grammar for a second of use.
NODE_PATH=$modules/node_modules node --liftoff-only "$here/intune_grammar.cjs" "$out"
