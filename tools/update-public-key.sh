#!/usr/bin/env bash
# Prints the public half of a release key as 64 hex digits (IVORANE_UPDATE_PUBLIC_KEY).
# Usage: tools/update-public-key.sh PRIVATE_KEY_FILE
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PRIVATE_KEY_FILE" >&2; exit 2; }
# The DER form of an Ed25519 public key ends with the 32 bytes of the key itself.
openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | od -An -v -tx1 | tr -d ' \n'
echo
