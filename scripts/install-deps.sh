#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(cmake make g++ pkg-config libgtest-dev python3 qt6-base-dev qt6-charts-dev libqt6opengl6-dev clang-14 libclang-rt-14-dev
          libcurl4-openssl-dev zlib1g-dev libzip-dev libyaml-cpp-dev libre2-dev uap-core nlohmann-json3-dev
          python3-pyftpdlib python3-docx poppler-utils chromium)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root (or sudo) for: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
