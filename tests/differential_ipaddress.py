#!/usr/bin/env python3
"""Runs quadrix-batch on random addresses behind random /96 prefixes and
checks its forms against Python's ipaddress module.

    differential_ipaddress.py QUADRIX_BATCH [--rows N] [--seed S]

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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--rows", type=int, default=100_000)
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


if __name__ == "__main__":
    main()
