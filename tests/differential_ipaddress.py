#!/usr/bin/env python3
"""Runs quadrix-batch on random addresses behind random /96 prefixes and
checks its forms against Python's ipaddress module; then decodes random
IPv6 addresses, converts and decodes behind prefixes of every RFC 6052
length, and converts prefixes and ranges.

    differential_ipaddress.py QUADRIX_BATCH [--rows N] [--decode-rows N] [--seed S]

The prefixes are drawn with many zero groups, so that runs of zeros start,
end and tie everywhere. For each prefix the same rows go through the tool
twice, as tsv:
  - with --rfc5952: the full form is ipaddress's exploded text, the shorthand
    its compressed text, the dot forms the exploded (or compressed) six groups
    followed by the dotted quad;
  - in the program's own text: the full form is the exploded text in upper
    case, the shorthand and the dot forms keep every group in four digits.
Some rows carry leading zeros, which RFC 5952 text writes away and the
program's dot forms keep, and some blanks, which the program's text reads past
and RFC 5952 text refuses (all four forms empty, exit status 1).

Decoding (--decode, as tsv, with --reverse-dns):
  - IPv4-mapped, 6to4 and Teredo addresses decode without a chosen embedding
    to ipaddress's ipv4_mapped, sixtofour and teredo (the Teredo client, its
    server, and the port computed here), and the in-addr.arpa name to the
    IPv4 address's reverse_pointer;
  - behind a random prefix of each RFC 6052 length (/32 to /96) an address
    laid out as section 2.2 of RFC 6052 places it (computed here) decodes to
    its IPv4 address, and converting that address gives the same IPv6
    address as ipaddress writes it.
Prefixes a.b.c.d/n convert, under the mapped block, to ip_network's address
followed by /96+n, with the ip6.arpa zones covering them (the
reverse_pointer of a whole address); ranges give summarize_address_range's
prefixes, one row each.
"""

import argparse
import ipaddress
import random
import subprocess
import sys

NAMED = {"compatible": 0, "mapped": 0xFFFF << 32, "nat64": 0x64FF9B << 96}


def random_prefix(rng):
    groups = [0 if rng.random() < 0.5 else rng.choice([1, 0xFFFF, rng.randrange(1, 0x10000)]) for _ in range(6)]
    value = 0
    for group in groups:
        value = value << 16 | group
    return value << 32


def prefix_argument(rng, value):
    # The prefix as a user may type it: compressed, exploded or upper case.
    text = ipaddress.IPv6Address(value)
    return rng.choice([text.compressed, text.exploded, text.exploded.upper()]) + "/96"


def row_text(rng, octets):
    parts = [str(o) for o in octets]
    if rng.random() < 0.05:
        parts = ["%03d" % o for o in octets]
    text = ".".join(parts)
    if rng.random() < 0.05:
        text = " " + text + " "
    return text


def six_groups_shortened(prefix):
    """The six upper groups as RFC 5952 shortens them, with the colon or "::"
    that joins them to what follows: ipaddress shortens the address with its
    last two groups set to ffff, which cannot join a run of zeros."""
    text = ipaddress.IPv6Address(prefix | 0xFFFFFFFF).compressed
    assert text.endswith("ffff:ffff")
    return text[: -len("ffff:ffff")]


def expected_forms(prefix, octets, row, rfc5952):
    if rfc5952 and row != row.strip():
        return ["", "", "", ""]
    value = prefix | int.from_bytes(bytes(octets), "big")
    address = ipaddress.IPv6Address(value)
    quad = ".".join(str(o) for o in octets)
    exploded = address.exploded
    shortened = six_groups_shortened(prefix)
    if rfc5952:
        return [exploded, address.compressed, exploded[:30] + quad, shortened + quad]
    padded = ":".join(group.zfill(4) if group else "" for group in shortened.split(":")).upper()
    return [exploded.upper(), padded + exploded[30:].upper(), exploded[:30].upper() + row, padded + row]


def run_tool(tool, prefix_text, rows, rfc5952):
    arguments = [tool, "--format", "tsv", "--embedding", prefix_text] + (["--rfc5952"] if rfc5952 else [])
    result = subprocess.run(arguments, input="\r\n".join(rows).encode() + b"\r\n", capture_output=True)
    refused = rfc5952 and any(row != row.strip() for row in rows)
    if result.returncode != (1 if refused else 0):
        sys.exit(f"quadrix-batch {' '.join(arguments[1:])} ended with {result.returncode}: "
                 f"{result.stderr.decode(errors='replace')[:500]}")
    return result.stdout.decode().split("\n")[:-1]


def run_rows(tool, arguments, rows, expected_status):
    arguments = [tool, "--format", "tsv"] + arguments
    result = subprocess.run(arguments, input="\r\n".join(rows).encode() + b"\r\n", capture_output=True)
    if result.returncode != expected_status:
        sys.exit(f"quadrix-batch {' '.join(arguments[1:])} ended with {result.returncode}: "
                 f"{result.stderr.decode(errors='replace')[:500]}")
    return [line.split("\t") for line in result.stdout.decode().split("\n")[:-1]]


def rfc6052_embed(prefix, length, ipv4):
    """The IPv6 address of `ipv4` behind the RFC 6052 prefix: its four bytes
    fill the byte positions after the prefix, skipping byte 8 (bits 64-71)."""
    positions = [p for p in range(length // 8, 16) if p != 8][:4]
    data = bytearray(prefix.to_bytes(16, "big"))
    for position, byte in zip(positions, ipv4.to_bytes(4, "big")):
        data[position] = byte
    return int.from_bytes(data, "big")


def ip6_arpa_zones(address, length):
    """The nibble-aligned zones that cover the first `length` bits."""
    nibbles = address.exploded.replace(":", "")
    whole = (length + 3) // 4
    spare = whole * 4 - length
    zones = []
    for low in range(1 << spare):
        head = nibbles[: whole - 1] if whole else ""
        if whole:
            last = int(nibbles[whole - 1], 16) & ~((1 << spare) - 1) | low
            head += "%x" % last
        zones.append(".".join(reversed(head)) + ("." if head else "") + "ip6.arpa")
    return " ".join(zones)


def check_decoding(tool, rng, count, mismatches):
    """Mapped, 6to4 and Teredo rows decoded by the first carrier that matches."""
    rows, want = [], []
    for _ in range(count):
        ipv4 = rng.randrange(1 << 32)
        kind = rng.randrange(3)
        if kind == 0:
            address = ipaddress.IPv6Address(0xFFFF << 32 | ipv4)
            carried, name, detail = address.ipv4_mapped, "mapped", ""
        elif kind == 1:
            address = ipaddress.IPv6Address(0x2002 << 112 | ipv4 << 80 | rng.randrange(1 << 80))
            carried, name, detail = address.sixtofour, "6to4", ""
        else:
            server, port, flags = rng.randrange(1 << 32), rng.randrange(1 << 16), rng.randrange(1 << 16)
            value = 0x20010000 << 96 | server << 64 | flags << 48 | (port ^ 0xFFFF) << 32 | ipv4 ^ 0xFFFFFFFF
            address = ipaddress.IPv6Address(value)
            teredo_server, carried = address.teredo
            name, detail = "teredo", f"server {teredo_server}, port {port}"
        row = rng.choice([address.compressed, address.exploded, address.exploded.upper()])
        rows.append(row)
        want.append([row, str(carried), name, detail, carried.reverse_pointer])
    for got, expected in zip(run_rows(tool, ["--decode", "--reverse-dns"], rows, 0), want, strict=True):
        if got != expected:
            mismatches.append(("decode", got, expected))


def check_rfc6052(tool, rng, count, mismatches):
    """Every RFC 6052 length, both ways."""
    per_length = count // 6
    for length in (32, 40, 48, 56, 64, 96):
        prefix = rng.randrange(1 << length) << (128 - length)
        prefix_text = f"{ipaddress.IPv6Address(prefix).compressed}/{length}"
        named = {v: k for k, v in NAMED.items()}.get(prefix) if length == 96 else None
        ipv4s = [rng.randrange(1 << 32) for _ in range(per_length)]
        addresses = [ipaddress.IPv6Address(rfc6052_embed(prefix, length, v)) for v in ipv4s]
        decoded = run_rows(tool, ["--decode", "--embedding", prefix_text], [a.compressed for a in addresses], 0)
        for address, ipv4, got in zip(addresses, ipv4s, decoded, strict=True):
            expected = [address.compressed, str(ipaddress.IPv4Address(ipv4)), named or prefix_text, ""]
            if got != expected:
                mismatches.append((prefix_text, got, expected))
        quads = [str(ipaddress.IPv4Address(v)) for v in ipv4s]
        converted = run_rows(tool, ["--rfc5952", "--embedding", prefix_text], quads, 0)
        for address, quad, got in zip(addresses, quads, converted, strict=True):
            if got[:3] != [quad, address.exploded, address.compressed]:
                mismatches.append((prefix_text, got[:3], [quad, address.exploded, address.compressed]))


def check_prefixes_and_ranges(tool, rng, count, mismatches):
    """Prefixes and ranges under the mapped block, with their zones."""
    rows, want = [], []
    for _ in range(count):
        length = rng.randrange(33)
        network = ipaddress.ip_network((rng.randrange(1 << 32) >> (32 - length) << (32 - length), length))
        embedded = ipaddress.IPv6Address(0xFFFF << 32 | int(network.network_address))
        total = 96 + length
        zones = embedded.reverse_pointer if total == 128 else ip6_arpa_zones(embedded, total)
        rows.append(str(network))
        want.append([[str(network), f"{embedded.exploded}/{total}", f"{embedded.compressed}/{total}", zones]])
    for _ in range(count // 10):
        first, last = sorted(rng.randrange(1 << 32) >> rng.randrange(32) for _ in range(2))
        first_address, last_address = ipaddress.IPv4Address(first), ipaddress.IPv4Address(last)
        row = f"{first_address}-{last_address}"
        rows.append(row)
        parts = []
        for network in ipaddress.summarize_address_range(first_address, last_address):
            embedded = ipaddress.IPv6Address(0xFFFF << 32 | int(network.network_address))
            parts.append([row, f"{embedded.exploded}/{96 + network.prefixlen}",
                          f"{embedded.compressed}/{96 + network.prefixlen}"])
        want.append(parts)
    lines = iter(run_rows(tool, ["--rfc5952", "--embedding", "mapped", "--reverse-dns"], rows, 0))
    for expected_rows in want:
        for expected in expected_rows:
            got = next(lines, None)
            got = got and got[:3] + got[5:] if len(expected) == 4 else got and got[:3]
            if got != expected:
                mismatches.append(("prefix or range", got, expected))
    if next(lines, None) is not None:
        mismatches.append(("prefix or range", "more lines", "no more"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--rows", type=int, default=60_000)
    parser.add_argument("--decode-rows", type=int, default=30_000)
    parser.add_argument("--seed", type=int, default=20240612)
    parser.add_argument("--per-prefix", type=int, default=2000)
    options = parser.parse_args()
    rng = random.Random(options.seed)

    checked = 0
    mismatches = []
    blocks = list(NAMED.items())
    while checked < options.rows:
        if blocks:
            prefix_text, prefix = blocks.pop(0)
        else:
            prefix = random_prefix(rng)
            prefix_text = prefix_argument(rng, prefix)
        count = min(options.per_prefix, options.rows - checked)
        octets = [[rng.randrange(256) for _ in range(4)] for _ in range(count)]
        rows = [row_text(rng, o) for o in octets]
        for rfc5952 in (True, False):
            lines = run_tool(options.tool, prefix_text, rows, rfc5952)
            if len(lines) != count:
                sys.exit(f"{prefix_text}: {len(lines)} lines for {count} rows")
            for row, row_octets, line in zip(rows, octets, lines):
                fields = line.split("\t")
                want = [row] + expected_forms(prefix, row_octets, row, rfc5952)
                if fields != want:
                    mismatches.append((prefix_text, rfc5952, fields, want))
        checked += count

    for prefix_text, rfc5952, got, want in mismatches[:10]:
        print(f"{prefix_text} rfc5952={rfc5952}\n  got  {got}\n  want {want}")
    if mismatches:
        sys.exit(f"{len(mismatches)} rows differ from ipaddress")
    print(f"{checked} addresses, each in both text styles, agree with ipaddress")

    others = []
    check_decoding(options.tool, rng, options.decode_rows, others)
    check_rfc6052(options.tool, rng, options.decode_rows, others)
    check_prefixes_and_ranges(options.tool, rng, options.decode_rows // 6, others)
    for what, got, want in others[:10]:
        print(f"{what}\n  got  {got}\n  want {want}")
    if others:
        sys.exit(f"{len(others)} decoded rows, prefixes or ranges differ from ipaddress")
    print(f"{options.decode_rows} decoded addresses, {options.decode_rows} behind RFC 6052 prefixes and "
          f"{options.decode_rows // 6} prefixes with ranges agree with ipaddress")


if __name__ == "__main__":
    main()
