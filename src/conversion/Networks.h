#pragma once

#include "Ipv6Text.h"

#include <QString>

#include <vector>

// IPv4 networks: prefixes, ranges split into prefixes, and the reverse-DNS
// zones of addresses and prefixes.
namespace MapIP {

// An IPv4 prefix: the network's first address and the length of its prefix
// (0 to 32). A prefix of 32 is one address.
struct Ipv4Network
{
    quint32 address = 0;
    int length = 32;

    // The network's last address.
    quint32 last() const { return quint32(address | ((quint64(1) << (32 - length)) - 1)); }
    // The number of addresses it holds.
    quint64 size() const { return quint64(1) << (32 - length); }

    friend bool operator==(const Ipv4Network&, const Ipv4Network&) = default;
};

// Writes the dotted quad of an address, each octet in decimal without leading
// zeros; returns the end of the text (at most 15 characters).
char16_t* writeDottedQuad(quint32 address, char16_t* out) noexcept;
QString dottedQuad(quint32 address);
// A network as "a.b.c.d/n".
QString networkText(const Ipv4Network& network);

// The bits of `address` that a prefix of `length` keeps.
constexpr quint32 networkMask(int length)
{
    return length == 0 ? 0 : 0xFFFFFFFFu << (32 - length);
}

// The smallest list of prefixes that covers first to last exactly, in
// address order (at most 62). `first` must not be above `last`.
std::vector<Ipv4Network> summarizeRange(quint32 first, quint32 last);

// The reverse-DNS zones that cover the first `length` bits of an address
// exactly, separated by one blank: one zone when the length falls on a
// boundary (a nibble for ip6.arpa, an octet for in-addr.arpa), otherwise the
// zones one step longer that together make it up. A whole address gives its
// own name, as Python's reverse_pointer writes it (no final dot).
QString ip6ArpaZones(const Ipv6Groups& address, int length);
QString inAddrArpaZones(quint32 address, int length);

} // namespace MapIP
