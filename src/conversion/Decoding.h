#pragma once

#include "Embedding.h"
#include "Networks.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The other direction: the IPv4 address an IPv6 address carries.
namespace MapIP {

// The blocks an IPv6 address may carry an IPv4 address in. Without a chosen
// embedding they are tried in this order and the first that matches decodes
// the row.
enum class Carrier { Mapped, Nat64, SixToFour, Teredo, Isatap, Compatible };
inline constexpr std::array<QStringView, 6> CarrierNames { u"mapped", u"nat64",  u"6to4",
                                                           u"teredo", u"isatap", u"compatible" };
constexpr QStringView carrierName(Carrier carrier)
{
    return CarrierNames[size_t(carrier)];
}

// The columns of a decoded row, in the order every table and export shows
// them: the row as given, then what was read from it.
struct DecodeColumn
{
    // The key in machine-readable outputs.
    QStringView name;
    // The caption in the windows and the exports.
    QStringView caption;
};
inline constexpr std::array<DecodeColumn, 4> DecodeColumns { {
    { u"original", u"Original" },
    { u"ipv4", u"IPv4 Address" },
    { u"embedding", u"Embedding" },
    { u"detail", u"Detail" },
} };

enum class DecodeError : unsigned char {
    None,
    NotIpv6,
    Zone,
    // Prefixes: a length that is no number from 0 to 128, bits set past it,
    // a prefix shorter than its embedding or ending inside bits 64 to 71
    // behind a short RFC 6052 prefix, and carriers whose prefixes hold no
    // IPv4 prefix (Teredo, ISATAP).
    PrefixLengthInvalid,
    HostBitsSet,
    PrefixShorterThanEmbedding,
    PrefixInsideReservedBits,
    PrefixNotCarried,
    // Nothing was chosen, and the address lies in no block that carries one.
    NoIpv4,
    // The address lies outside the chosen block.
    OutsideBlock,
    // Bits 64 to 71 are set behind an RFC 6052 prefix shorter than /96.
    ReservedBitsSet,
};

// What one row decodes to.
struct Decoded
{
    DecodeError error = DecodeError::None;
    quint32 ipv4 = 0;
    // Where the address was found: a carrier, or the chosen embedding.
    std::optional<Carrier> carrier;
    // The IPv4 prefix's length for a row that is a prefix; -1 for an address.
    int length = -1;
    // Teredo's server and the client's UDP port.
    quint32 server = 0;
    quint16 port = 0;
    // A prefix's length as given, and its network, for messages.
    int ipv6Length = -1;
    Ipv6Groups network {};

    bool failed() const noexcept { return error != DecodeError::None; }
};

// How rows are decoded: by any carrier in order, or by one embedding only.
class DecodeOptions
{
public:
    // Every carrier, in order.
    DecodeOptions() = default;
    explicit DecodeOptions(const Embedding& chosen)
        : m_chosen(chosen)
        , m_label(chosen.label())
    {
    }

    const std::optional<Embedding>& chosen() const { return m_chosen; }
    // What the embedding column says of a row decoded by the chosen
    // embedding: its name, or its prefix with the length.
    const QString& label() const { return m_label; }

    friend bool operator==(const DecodeOptions& a, const DecodeOptions& b)
    {
        return a.m_chosen == b.m_chosen;
    }

private:
    std::optional<Embedding> m_chosen;
    QString m_label;
};

// Reads a row as IPv6 text (blanks around it are ignored), an address or a
// prefix (address/length), and finds the IPv4 address or prefix it carries.
Decoded decode(QStringView row, const DecodeOptions& options);

// Why a row did not decode, naming the row; empty when it did.
QString describe(const Decoded& decoded, QStringView row, const DecodeOptions& options);

// A decoded address whose fields need nothing but its IPv4 address and where
// it was found (no prefix, no Teredo detail): what a caller that decodes a
// row once keeps to make its fields again.
struct DecodedAddress
{
    quint32 ipv4 = 0;
    // Nothing for the chosen embedding.
    std::optional<Carrier> carrier;
};

// A decoded row's texts, as the table and the exports read them, written
// once into buffers of the object's own.
class RowDecoding final
{
public:
    enum class Field { Ipv4, Embedding, Detail };
    static constexpr int FieldCount = 3;

    // The row and the options must outlive the object.
    RowDecoding(QStringView row, const DecodeOptions& options);
    // A row decoded before with the same options, from what address() gave.
    RowDecoding(QStringView row, const DecodedAddress& address, const DecodeOptions& options);

    QStringView row() const { return m_row; }
    // What the constructor above takes; nothing for a row that failed, a
    // prefix or a Teredo address.
    std::optional<DecodedAddress> address() const;
    const Decoded& decoded() const { return m_decoded; }
    bool failed() const { return m_decoded.failed(); }
    // The field's text: the dotted quad (with its length for a prefix), the
    // embedding (a carrier's name or the chosen embedding's label), and the
    // detail ("server 65.54.227.120, port 40000" for Teredo, empty
    // otherwise). Empty when the row did not decode.
    QStringView text(Field field) const;
    // The in-addr.arpa name of the IPv4 address, or the zones that cover the
    // IPv4 prefix; empty when the row did not decode.
    QString reverseDnsName() const;

private:
    void writeTexts();

    QStringView m_row;
    const DecodeOptions* m_options;
    Decoded m_decoded;
    char16_t m_ipv4[18];
    qsizetype m_ipv4Length = 0;
    char16_t m_detail[48];
    qsizetype m_detailLength = 0;
};

// When `address` is one that RFC 6052 section 3.1 keeps out of the NAT64
// well-known prefix (private, shared, loopback, link-local, documentation and
// other non-global ranges): the range's description, such as "a private
// address (RFC 1918)". Nothing for a global address.
std::optional<QString> nonGlobalRange(quint32 address);

} // namespace MapIP
