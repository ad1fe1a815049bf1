#!/usr/bin/env bash
# Makes the Ed25519 key pair that signs releases. The private key goes to the file named (kept
# outside the repository, readable by you only); the public key is printed as 64 hex digits,
# the value of the CMake setting IVORANE_UPDATE_PUBLIC_KEY.
# Usage: tools/make-update-key.sh ~/secret/ivorane3d-release.pem
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PRIVATE_KEY_FILE" >&2; exit 2; }
key=$1
[ -e "$key" ] && { echo "$key exists already: not overwritten" >&2; exit 1; }
(umask 077 && openssl genpkey -algorithm ed25519 -out "$key")
"$(dirname "$0")/update-public-key.sh" "$key"
