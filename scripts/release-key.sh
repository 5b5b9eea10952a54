#!/usr/bin/env bash
# Makes the vendor's release key: an ECDSA P-256 key pair.
# Usage: scripts/release-key.sh new DIR
#   writes the private key to DIR/release-private-key.pem (readable by its owner only; never publish it)
#   and prints the public key in the form the build setting OM_RELEASE_PUBLIC_KEY takes (base64 of the
#   point's X || Y, 88 characters).
set -euo pipefail
if [ $# != 2 ] || [ "$1" != new ]; then
  echo "usage: $0 new DIR" >&2
  exit 2
fi
dir=$2
key=$dir/release-private-key.pem
mkdir -p "$dir"
[ ! -e "$key" ] || { echo "$key exists already; a new key would orphan every release signed with it" >&2; exit 1; }
(umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$key" 2>/dev/null)
# The public key's DER form ends in the uncompressed point: 0x04, X, Y.
point=$(openssl pkey -in "$key" -pubout -outform DER | tail -c 65 | od -An -tx1 | tr -d ' \n')
[ "${#point}" = 130 ] && [ "${point:0:2}" = 04 ] || { echo "unexpected public key form" >&2; exit 1; }
perl -e 'print pack("H*", $ARGV[0])' "${point:2}" | base64 -w0
echo
