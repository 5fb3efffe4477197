#!/usr/bin/env bash
# Installs the Debian packages Setup ZEL builds and tests with, when missing.
# Sourced by the start and test commands; safe to run again.
set -euo pipefail

ZEL_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-l10n-tools libgl-dev libcli11-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation poppler-utils
)

# What the checks of .ci/run add: clang with libFuzzer and its sanitizer
# runtimes (scripts/fuzz), clang-tidy, and the Debian package tools
# (cpack's dpkg-shlibdeps, file).
ZEL_CHECK_PACKAGES=(
  clang libclang-rt-14-dev clang-tidy
  dpkg-dev file
)

zel_missing_packages() {
  local p
  for p in "${ZEL_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

zel_install_deps() {
  local missing
  missing=$(zel_missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "Εγκατάσταση πακέτων: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # shellcheck disable=SC2086
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}
