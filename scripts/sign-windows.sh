#!/usr/bin/env bash
# Signs the shipped Windows files (every .exe and .dll in FOLDER) with
# Authenticode through osslsigncode, in place, then verifies each one. The
# release step after the stripped install: strip drops a signature made
# before it and leaves a broken certificate entry behind.
#
#   scripts/sign-windows.sh --cert CERT --key KEY [--pkcs11-module MODULE]
#       [--pass-file FILE] [--timestamp URL] [--ca CA] [--tsa-ca CA] FOLDER
#
#   --cert           the code-signing certificate and its chain (PEM or DER)
#   --key            its private key: a file, or a "pkcs11:" URI of a key on
#                    a token, with --pkcs11-module naming the token's module
#   --pass-file      a file whose first line is the key's passphrase or PIN
#   --timestamp      an RFC 3161 time-stamping server: the signature then
#                    stays valid after the certificate expires
#   --ca, --tsa-ca   the root certificates that the verification trusts for
#                    the signature and the time stamp (default: the system's)
set -euo pipefail

usage() {
  echo "usage: $0 --cert CERT --key KEY [--pkcs11-module MODULE] [--pass-file FILE]" \
       "[--timestamp URL] [--ca CA] [--tsa-ca CA] FOLDER" >&2
  exit 2
}
sign=()
verify=()
cert= key= folder=
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=$2 ;;
    --key) key=$2 ;;
    --pkcs11-module) sign+=(-pkcs11module "$2") ;;
    --pass-file) sign+=(-readpass "$2") ;;
    --timestamp) sign+=(-ts "$2") ;;
    --ca) verify+=(-CAfile "$2") ;;
    --tsa-ca) verify+=(-TSA-CAfile "$2") ;;
    -*) usage ;;
    *) [ -z "$folder" ] || usage; folder=$1; shift; continue ;;
  esac
  [ $# -ge 2 ] || usage
  shift 2
done
[ -n "$cert" ] && [ -n "$key" ] && [ -d "$folder" ] || usage

shopt -s nullglob nocaseglob
files=("$folder"/*.exe "$folder"/*.dll)
[ ${#files[@]} -gt 0 ] || { echo "$0: no .exe or .dll in $folder" >&2; exit 1; }
for file in "${files[@]}"; do
  osslsigncode sign -certs "$cert" -key "$key" "${sign[@]}" -h sha256 -n Quarnel \
    -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
  osslsigncode verify "${verify[@]}" -in "$file" >/dev/null || {
    echo "$0: $file: the signature does not verify" >&2
    exit 1
  }
  echo "signed and verified: $file"
done
