#!/usr/bin/env bash
# Signs release packages with the vendor's private key (made by scripts/release-key.sh).
# Usage: scripts/sign-release.sh PRIVATE_KEY FILE...
#   writes FILE.sig beside each FILE: one line "om-sig-1 " + base64 of r || s (32 bytes each), the
#   ECDSA P-256 signature of SHA-256 over "om-release-1\n" + the file's name in lower case + "\n" +
#   the file's bytes. The name is the one the file has on the release site: sign it under that name.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 PRIVATE_KEY FILE..." >&2
  exit 2
fi
key=$1
shift
der=$(mktemp)
trap 'rm -f "$der"' EXIT
for file in "$@"; do
  name=$(basename "$file" | tr 'A-Z' 'a-z')
  { printf 'om-release-1\n%s\n' "$name"; cat "$file"; } | openssl dgst -sha256 -sign "$key" -out "$der"
  # openssl writes the DER sequence of the two integers; the updater takes them as 32 bytes each.
  hex=$(openssl asn1parse -inform DER -in "$der" | sed -n 's/.*prim: INTEGER *://p' |
    while read -r integer; do printf '%64s' "$integer" | tr ' ' 0; done)
  [ "${#hex}" = 128 ] || { echo "cannot read the signature of $file" >&2; exit 1; }
  printf 'om-sig-1 %s\n' "$(perl -e 'print pack("H*", $ARGV[0])' "$hex" | base64 -w0)" >"$file.sig"
  echo "signed $file"
done
