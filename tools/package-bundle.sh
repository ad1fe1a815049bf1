#!/usr/bin/env bash
# Packages a build as a release for the updater, in OUT_DIR:
#   Ivorane3D/                 the application folder, with its marker ivorane3d-bundle.json
#                              (only a marked folder is ever replaced by the updater)
#   ivorane3d-VERSION.tar.xz   that folder as a signed archive, and its .sig
#   version.json               the description to put on the update site beside them
# The version and build number are the build's (IVORANE_RELEASE_VERSION, IVORANE_BUILD_NUMBER);
# the build must carry the public half of KEY (IVORANE_UPDATE_PUBLIC_KEY), so that it can
# check the releases that follow it.
# Usage: tools/package-bundle.sh BUILD_DIR PRIVATE_KEY_FILE OUT_DIR [NOTES_FILE]
set -euo pipefail
[ $# -ge 3 ] && [ $# -le 4 ] || {
  echo "usage: $0 BUILD_DIR PRIVATE_KEY_FILE OUT_DIR [NOTES_FILE]" >&2
  exit 2
}
build=$1 key=$2 out=$3 notes=${4:-}
tools=$(cd "$(dirname "$0")" && pwd)

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cached IVORANE_RELEASE_VERSION)
number=$(cached IVORANE_BUILD_NUMBER)
[[ "$number" =~ ^[0-9]+$ ]] || { echo "build number « $number » is not a whole number" >&2; exit 1; }
[[ "$version" =~ ^[A-Za-z0-9._+~-]+$ ]] || { echo "version « $version » is not a plain version" >&2; exit 1; }
built_key=$(cached IVORANE_UPDATE_PUBLIC_KEY | tr 'A-F' 'a-f')
if [ "$built_key" != "$("$tools/update-public-key.sh" "$key")" ]; then
  echo "the build does not carry this key's public half: configure it with" >&2
  echo "  -DIVORANE_UPDATE_PUBLIC_KEY=$("$tools/update-public-key.sh" "$key")" >&2
  exit 1
fi

mkdir -p "$out"
bundle="$out/Ivorane3D"
rm -rf "$bundle"
DESTDIR= cmake --install "$build" --prefix "$(cd "$out" && pwd)/Ivorane3D" >/dev/null
printf '{"build": %s, "version": "%s"}\n' "$number" "$version" >"$bundle/ivorane3d-bundle.json"

archive="ivorane3d-$version.tar.xz"
tar --owner=0 --group=0 --numeric-owner --sort=name -C "$out" -cJf "$out/$archive" Ivorane3D
"$tools/sign-update.sh" "$key" "$out/$archive"

# JSON strings: backslashes, quotes, tabs and line ends escaped.
json_string() { sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/\t/\\t/g' | awk '{ printf "%s%s", (NR > 1 ? "\\n" : ""), $0 }'; }
{
  printf '{\n  "version": "%s",\n  "build": %s,\n  "url": "%s"' "$version" "$number" "$archive"
  [ -n "$notes" ] && printf ',\n  "notes": "%s"' "$(json_string <"$notes")"
  printf '\n}\n'
} >"$out/version.json"
echo "$out: Ivorane3D/, $archive, $archive.sig, version.json (build $number, version $version)"
