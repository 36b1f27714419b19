#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need. Idempotent:
# packages already present are not fetched again, and nothing runs when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev
  libexpat1-dev libsqlite3-dev
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev fonts-dejavu-core
  iputils-ping iproute2
  libsmbclient-dev firebird-dev firebird3.0-server firebird3.0-utils samba
  g++-mingw-w64-i686 mingw-w64-tools
  wine wine32:i386 wine64
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# The database server's SYSDBA password, which the check's probes use, before it is installed.
echo 'firebird3.0-server shared/firebird/sysdba_password/first_install password gulpatern' |
  as_root debconf-set-selections
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
