#!/usr/bin/env bash
# Checks a Debian package made by `cpack -G DEB`: exactly the expected files
# (both programs, the simulator, the desktop entry, the icon, the sample
# package) and dependencies on Qt's runtime packages and its German
# translations. Prints its size.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:?usage: check-deb.sh PACKAGE.deb}

expected=$(
  {
    printf '/usr/bin/%s\n' skyrelay-update skyrelay-update-cli skyrelay-sim
    echo /usr/share/applications/skyrelay-update.desktop
    echo /usr/share/icons/hicolor/scalable/apps/skyrelay-update.svg
    (cd examples/paket && find . -type f | sed 's|^\./|/usr/share/skyrelay-update/beispiel/|')
  } | sort
)
actual=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ {print $6}' | sed 's|^\./|/|' | sort)
if [ "$expected" != "$actual" ]; then
  echo "check-deb: the package's files differ from the expected ones (< expected, > package):" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
for exe in skyrelay-update skyrelay-update-cli skyrelay-sim; do
  dpkg-deb -c "$deb" | awk -v f="./usr/bin/$exe" '$6 == f && $1 ~ /x/ {found=1} END {exit !found}' ||
    { echo "check-deb: /usr/bin/$exe is not executable" >&2; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libqt6svg6 \
  qt6-translations-l10n libstdc++6; do
  tr ',' '\n' <<<"$depends" | awk -v p="$package" '$1 == p {found=1} END {exit !found}' ||
    { echo "check-deb: Depends lacks $package: $depends" >&2; exit 1; }
done
echo "$deb: $(stat -c %s "$deb") bytes; Depends: $depends"
