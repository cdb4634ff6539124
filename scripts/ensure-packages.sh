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
    # checks for a while: try again before giving up. If some index still
    # fails, apt goes on with the ones it has.
    indexes_complete=false
    for attempt in 1 2 3; do
        apt-get update -qq && { indexes_complete=true; break; }
        (( attempt < 3 )) || break
        echo "apt-get update failed; trying again in 30 s" >&2
        sleep 30
    done
    apt_install() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
    apt_install && exit 0
    if ! $indexes_complete; then
        # Typically one architecture's index of the security suite is the
        # one missing. A library built for two architectures must then be
        # the same version in both, and only the release's own suite still
        # has both: prefer its versions for this install. Nothing installed
        # is downgraded; what this installs lacks only the newest security
        # fixes, until the next upgrade with a complete mirror.
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        if [[ -n $codename ]]; then
            echo "Some package indexes could not be fetched (above); installing" \
                 "$codename's own versions instead of its security updates." >&2
            apt_install -t "$codename" && exit 0
        fi
    fi
    echo "Installing ${missing[*]} failed (see above)." >&2
    exit 1
else
    echo "These Debian packages are missing. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
