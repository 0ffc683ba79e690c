#!/usr/bin/env bash
# Makes the release description of a built setup, signed with the publisher's private
# key, for the update address (README, "Updates"): the version, the package's address,
# its size and SHA-256, then the ECDSA P-256 signature over all of that. Needs bash,
# openssl and coreutils; run it where the private key lives, not on the build machine.
#
#   scripts/publish-update.sh --key private.pem --address URL [--version X.Y.Z]
#                             [--output FILE] SETUP
#
#   --key      the publisher's private key (PEM, ECDSA P-256)
#   --address  where the setup will be: absolute (http/https), or relative to the
#              description's own address (its file name beside it, say)
#   --version  the setup's version; by default read from its name (..-1.3.0-setup.exe)
#   --output   the description's file (written whole or not at all); default: stdout
set -euo pipefail

die() {
    echo "publish-update: $*" >&2
    exit 1
}

usage() {
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit "${1:-1}"
}

key="" address="" version="" output=""
while [ $# -gt 0 ]; do
    case "$1" in
    --key) key=${2-}; shift 2 || usage ;;
    --address) address=${2-}; shift 2 || usage ;;
    --version) version=${2-}; shift 2 || usage ;;
    --output) output=${2-}; shift 2 || usage ;;
    -h | --help) usage 0 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
    esac
done
[ $# -eq 1 ] && [ -n "$key" ] && [ -n "$address" ] || usage
setup=$1
[ -f "$setup" ] || die "no setup at $setup"
[ -r "$key" ] || die "cannot read the key $key"
command -v openssl >/dev/null || die "openssl is missing"

# The rules the widget reads the description by (base/update_description.h).
if [ -z "$version" ]; then
    version=$(basename "$setup" | sed -n 's/.*-\([0-9][0-9.]*\)-setup\.exe$/\1/p')
    [ -n "$version" ] || die "no version in the setup's name: give --version"
fi
part='(0|[1-9][0-9]{0,4})'
[[ $version =~ ^$part\.$part\.$part$ ]] || die "version $version is not major.minor.patch"
for number in ${version//./ }; do
    [ "$number" -le 65535 ] || die "version $version: each number 0 to 65535"
done
[[ $address =~ ^[!-~]{1,1023}$ ]] || die "the address must be 1 to 1023 printable characters without blanks"
if [[ $address =~ ^[A-Za-z][A-Za-z0-9+.-]*: ]] && ! [[ $address =~ ^[Hh][Tt][Tt][Pp][Ss]?:// ]]; then
    die "the address must be http or https, or relative to the description's"
fi
size=$(wc -c <"$setup" | tr -d ' ')
[ "$size" -ge 1 ] && [ "$size" -le 16777216 ] || die "the setup must be 1 byte to 16 MiB, not $size"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl pkey -in "$key" -pubout -out "$work/public.pem" 2>/dev/null || die "$key is no private key openssl can read"
openssl pkey -pubin -in "$work/public.pem" -text -noout 2>/dev/null | grep -q 'prime256v1\|P-256' ||
    die "$key is not an ECDSA P-256 key (openssl ecparam -name prime256v1 -genkey)"
hash=$(openssl dgst -sha256 -r "$setup" | cut -c1-64)
printf 'quornel-update: 1\nversion: %s\npackage: %s\nsize: %s\nsha256: %s\n' \
    "$version" "$address" "$size" "$hash" >"$work/head"

# openssl signs in DER (a sequence of the two integers r and s); the description
# carries r || s, 32 bytes each, as the platform's verifier takes them.
openssl dgst -sha256 -sign "$key" -out "$work/signature.der" "$work/head"
openssl dgst -sha256 -verify "$work/public.pem" -signature "$work/signature.der" "$work/head" >/dev/null ||
    die "the signature does not verify"
raw=""
for number in $(openssl asn1parse -inform DER -in "$work/signature.der" | sed -n 's/.*INTEGER *://p'); do
    number=$(printf '%064s' "${number#"${number%%[!0]*}"}" | tr ' ' 0)
    [ ${#number} -eq 64 ] || die "unexpected signature"
    raw+=$number
done
[ ${#raw} -eq 128 ] || die "unexpected signature"
# shellcheck disable=SC2059 # the hex digits become \x escapes on purpose
printf "$(sed 's/../\\x&/g' <<<"$raw")" >"$work/signature.raw"
[ "$(wc -c <"$work/signature.raw" | tr -d ' ')" -eq 64 ] || die "unexpected signature"
{
    cat "$work/head"
    printf 'signature: %s\n' "$(openssl base64 -A -in "$work/signature.raw")"
} >"$work/description"

if [ -n "$output" ]; then
    cp "$work/description" "$output.tmp"
    mv "$output.tmp" "$output"
else
    cat "$work/description"
fi
echo "publish-update: $version, $size bytes, sha256 $hash, at $address" >&2
