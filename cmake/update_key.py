#!/usr/bin/env python3
"""Writes the header that tells base.dll what the build says of updates: the version it
is (CMake's project version) and the publisher's public key, the 64 bytes X || Y of an
ECDSA P-256 point, read from a PEM file ("-----BEGIN PUBLIC KEY-----", as
`openssl pkey -pubout` writes it). Without a key the header says so and the engine has
no updater. A private key is refused: it must never reach a build.

    update_key.py --version 1.0.0 [--key public.pem] --out update_build.h

The header is rewritten only when its text changes, so that an unchanged
configuration rebuilds nothing."""
import argparse, base64, os, re, sys

# SubjectPublicKeyInfo of an uncompressed P-256 point: id-ecPublicKey, prime256v1, then 04 X Y.
P256_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200" "04")


def fail(text):
    print("update key: " + text, file=sys.stderr)
    sys.exit(1)


def read_point(path):
    try:
        text = open(path, encoding="ascii").read()
    except (OSError, UnicodeDecodeError) as error:
        fail("cannot read %s: %s" % (path, error))
    if "PRIVATE KEY" in text:
        fail("%s holds a private key; give the public half (openssl pkey -in private.pem -pubout)" % path)
    found = re.search(r"-----BEGIN PUBLIC KEY-----\s*([A-Za-z0-9+/=\s]+?)\s*-----END PUBLIC KEY-----", text)
    if not found:
        fail("%s is no PEM public key" % path)
    try:
        der = base64.b64decode("".join(found.group(1).split()), validate=True)
    except ValueError:
        fail("%s: the key's base64 is damaged" % path)
    if len(der) != len(P256_PREFIX) + 64 or not der.startswith(P256_PREFIX):
        fail("%s is not an ECDSA P-256 public key (openssl ecparam -name prime256v1)" % path)
    return der[len(P256_PREFIX):]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--key", default="")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if not re.fullmatch(r"(0|[1-9][0-9]{0,4})(\.(0|[1-9][0-9]{0,4})){2}", args.version) or \
            max(int(part) for part in args.version.split(".")) > 65535:
        fail("the project's version %r is not major.minor.patch of 0 to 65535" % args.version)
    point = read_point(args.key) if args.key else bytes(64)
    rows = ",\n".join("    " + ", ".join("0x%02x" % b for b in point[i:i + 16]) for i in range(0, 64, 16))
    header = (
        "// Made by cmake/update_key.py from the build's configuration; not to be edited.\n"
        "#pragma once\n\n"
        "// The version this build is, as the release descriptions write it.\n"
        "const char kBuildVersion[] = \"%s\";\n"
        "// Whether the build has an updater: only with the publisher's public key.\n"
        "const bool kUpdaterBuiltIn = %s;\n"
        "// The publisher's ECDSA P-256 public key: X, then Y (zeros without a key).\n"
        "const unsigned char kUpdatePublicKey[64] = {\n%s\n};\n"
    ) % (args.version, "true" if args.key else "false", rows)
    if os.path.exists(args.out) and open(args.out, encoding="utf-8").read() == header:
        return
    with open(args.out + ".tmp", "w", encoding="utf-8") as f:
        f.write(header)
    os.replace(args.out + ".tmp", args.out)


main()
