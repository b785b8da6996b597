#!/bin/sh
# Runs one test with a fresh private HOME and XDG folders, so no test sees the user's files
# or another test's leftovers.
home=$(mktemp -d "${TMPDIR:-/tmp}/brimfold-test.XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT
export HOME="$home"
export XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$home/run}"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
[ -d "$XDG_RUNTIME_DIR" ] || { mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"; }
"$@"
