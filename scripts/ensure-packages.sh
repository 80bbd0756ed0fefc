#!/usr/bin/env bash
# Makes sure the given Debian packages are installed: installs the missing ones with apt when
# run as root, otherwise names them and fails.
# Usage: ensure-packages.sh PACKAGE...
set -euo pipefail

if ! command -v dpkg >/dev/null 2>&1; then
    echo "ensure-packages: no dpkg here; make sure these are installed: $*" >&2
    exit 0
fi

missing=()
for package in "$@"; do
    if ! dpkg -s "$package" >/dev/null 2>&1 ||
        ! dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi

echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
