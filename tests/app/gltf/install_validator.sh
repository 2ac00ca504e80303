#!/usr/bin/env bash
# Installs the Khronos glTF validator (npm package gltf-validator) into the build folder for the
# tests, unless that version is there already. Without npm or the registry this fails, and so do
# the tests that validate what they write.
set -euo pipefail
prefix="$1"
version=2.0.0-dev.3.10
installed="$prefix/node_modules/gltf-validator/package.json"
if [[ -f "$installed" ]] && grep -q "\"version\": \"$version\"" "$installed"; then
  echo "gltf-validator $version is installed in $prefix"
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  echo "npm is missing; bash tools/setup.sh installs it" >&2
  exit 1
fi
mkdir -p "$prefix"
npm install --prefix "$prefix" --no-audit --no-fund --no-save --loglevel=error "gltf-validator@$version"
