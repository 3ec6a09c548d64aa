#!/usr/bin/env python3
"""The four IPv6 text forms of every IPv4 address in a list file, with
Python's standard ipaddress module: what a user might script instead of
quadrix-batch.

    ipaddress_forms.py LIST [-o OUTPUT] [--digits ipv6|packed]

Writes one line per address, as `quadrix-batch --format tsv` does: the
address, the IPv6 full address, the IPv6 shorthand address, the IPv6 and dot
notation full address and the IPv6 and dot notation shorthand address,
separated by TABs, ending in LF, in windows-1252.

The hex digits of the first two forms come from ipaddress's own IPv6 text
(--digits ipv6, the default: IPv6Address(int(address)).exploded), or, in the
leaner way a user who minds speed would write, from the four bytes of the
IPv4 address (--digits packed: address.packed.hex()). Both give the same
text.

ipaddress is stricter than Quadrix: it refuses leading zeros (010.0.0.1) and
blanks around the address, which Quadrix converts. For such a row, as for any
it refuses, the first two forms stay empty and the reason goes to standard
error. Lines end at CR LF, CR or LF.
"""

import argparse
import ipaddress
import sys

ZERO_GROUPS = "0000:0000:0000:0000:0000:0000:"


def forms_from_ipv6(text):
    """The four forms of one dotted quad; ValueError when ipaddress refuses it."""
    address = ipaddress.IPv4Address(text)
    # The IPv4 address in the low 32 bits of an otherwise zero IPv6 address,
    # every group written out in four digits: 0000:...:0000:AC10:FE01.
    full = ipaddress.IPv6Address(int(address)).exploded.upper()
    return full, "::" + full[-9:], ZERO_GROUPS + text, "::" + text


def forms_from_packed(text):
    """The same, the digits written from the address's four bytes."""
    digits = ipaddress.IPv4Address(text).packed.hex().upper()
    groups = digits[:4] + ":" + digits[4:]
    return ZERO_GROUPS + groups, "::" + groups, ZERO_GROUPS + text, "::" + text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("list", help="the list file, one address per line")
    parser.add_argument("-o", "--output", help="the file to write (default: standard output)")
    parser.add_argument("--digits", choices=("ipv6", "packed"), default="ipv6",
                        help="where the hex digits come from (default: ipaddress's IPv6 text)")
    arguments = parser.parse_args()
    forms = forms_from_ipv6 if arguments.digits == "ipv6" else forms_from_packed

    output = (open(arguments.output, "w", encoding="cp1252", errors="replace", newline="")
              if arguments.output else
              open(sys.stdout.fileno(), "w", encoding="cp1252", errors="replace", newline="", closefd=False))
    failed = False
    with open(arguments.list, encoding="cp1252", errors="replace", newline="") as rows, output:
        for number, line in enumerate(rows, start=1):
            text = line.rstrip("\r\n")
            try:
                full, shorthand, dot_full, dot_shorthand = forms(text)
            except ValueError as error:
                print(f"row {number}: {error}", file=sys.stderr)
                failed = True
                full = shorthand = ""
                dot_full, dot_shorthand = ZERO_GROUPS + text, "::" + text
            output.write(f"{text}\t{full}\t{shorthand}\t{dot_full}\t{dot_shorthand}\n")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
