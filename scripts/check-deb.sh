#!/usr/bin/env bash
# Checks a Debian package made by `cpack -G DEB`: exactly the expected files
# (both programs, the simulator, the desktop entry, the icon, the sample
# package) and dependencies on Qt's runtime packages and its German
# translations; the English texts built into the programs answer. Prints its size.
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

# The translations are built into the programs: the packaged command-line
# program answers in either language.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
cli="$unpacked/usr/bin/skyrelay-update-cli"
grep -q '^Usage: skyrelay-update-cli' <<<"$("$cli" --language en --help)" ||
  { echo "check-deb: skyrelay-update-cli --language en does not speak English" >&2; exit 1; }
grep -q '^Aufruf: skyrelay-update-cli' <<<"$(env -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 "$cli" --help)" ||
  { echo "check-deb: skyrelay-update-cli does not speak German under LANG=de_DE.UTF-8" >&2; exit 1; }
grep -q '^Usage: skyrelay-update' <<<"$("$unpacked/usr/bin/skyrelay-update" --language en --help)" ||
  { echo "check-deb: skyrelay-update --language en does not speak English" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libqt6svg6 \
  qt6-translations-l10n libstdc++6; do
  tr ',' '\n' <<<"$depends" | awk -v p="$package" '$1 == p {found=1} END {exit !found}' ||
    { echo "check-deb: Depends lacks $package: $depends" >&2; exit 1; }
done
echo "$deb: $(stat -c %s "$deb") bytes; Depends: $depends"
