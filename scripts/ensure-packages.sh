#!/usr/bin/env bash
# Makes sure the Debian packages named as arguments are installed.
# As root it installs what is missing; otherwise it prints the exact
# apt-get line to run and fails.
set -euo pipefail

missing=()
for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # A mirror in the middle of a sync serves indexes that fail their
    # checks for a while: try again before giving up.
    for attempt in 1 2 3; do
        apt-get update -qq && break
        (( attempt < 3 )) || exit 1
        echo "apt-get update failed; trying again in 30 s" >&2
        sleep 30
    done
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
    echo "These Debian packages are missing. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
