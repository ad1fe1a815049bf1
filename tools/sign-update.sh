#!/usr/bin/env bash
# Signs a release archive: writes ARCHIVE.sig, the 64-byte Ed25519 signature that the
# updater checks before unpacking anything. What is signed is a fixed prefix and the
# archive's SHA-256, so that checking never holds the archive in memory.
# Usage: tools/sign-update.sh PRIVATE_KEY_FILE ARCHIVE
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PRIVATE_KEY_FILE ARCHIVE" >&2; exit 2; }
key=$1 archive=$2
msg=$(mktemp)
trap 'rm -f "$msg"' EXIT
printf 'ivorane3d-archive-sha256:%s' "$(sha256sum "$archive" | cut -d' ' -f1)" >"$msg"
openssl pkeyutl -sign -rawin -inkey "$key" -in "$msg" -out "$archive.sig"
