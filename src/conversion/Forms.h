#pragma once

#include "ConversionResult.h"

#include <QStringView>

#include <array>

namespace MapIP {

// The four IPv6 text forms, in the order every window, table and export
// shows them.
enum class Form : int { Full = 1, Shorthand = 2, DotFull = 3, DotShorthand = 4 };

// What a form writes before the address: the six groups of the block the
// address is embedded in, each in full, or shortened as RFC 5952 shortens
// them (for the default block ::/96, six "0000" groups or "::").
enum class Prefix { SixGroups, Shortened };
// How it writes the address: its 32 bits as two groups of hex digits (which
// fails on a part that is no octet), or the text exactly as given.
enum class Body { HexGroups, AddressAsGiven };

// Everything the program knows about one form. Windows, the results table,
// the exports and the command-line tool draw their columns, boxes, captions
// and keys from this table, so a form added here reaches all of them.
struct FormDefinition
{
    Form form;
    // The key of the form in machine-readable outputs.
    QStringView name;
    // The caption of its column in the results table and the exports.
    QStringView caption;
    // Its label in the single-address window, which the copied summary repeats.
    QStringView label;
    // Its field in a converted record.
    QString ConversionResult::*field;
    Prefix prefix;
    Body body;
};

inline constexpr std::array<FormDefinition, 4> Forms { {
    { Form::Full, u"full", u" IPv6 Full Address", u"IPv6 Full Address", &ConversionResult::Full,
      Prefix::SixGroups, Body::HexGroups },
    { Form::Shorthand, u"shorthand", u" IPv6 Shorthand Address", u"IPv6 Shorthand Address",
      &ConversionResult::Shorthand, Prefix::Shortened, Body::HexGroups },
    { Form::DotFull, u"dot_full", u" IPv6 and Dot Notation Full Address", u"IPv6 & Dot Notation Full Address",
      &ConversionResult::DotFull, Prefix::SixGroups, Body::AddressAsGiven },
    { Form::DotShorthand, u"dot_shorthand", u" IPv6 and Dot Notation Shorthand Address",
      u"IPv6 & Dot Notation Shorthand Address", &ConversionResult::DotShorthand, Prefix::Shortened,
      Body::AddressAsGiven },
} };

inline constexpr int FormCount = int(Forms.size());

// The address as given, ahead of the forms in a record, a table row and an
// output line.
inline constexpr QStringView OriginalName = u"original";
inline constexpr QStringView OriginalCaption = u"Original";

// The form's place in the table, and in every array kept per form.
constexpr size_t formIndex(Form form)
{
    return size_t(int(form) - 1);
}

constexpr const FormDefinition& definition(Form form)
{
    return Forms[formIndex(form)];
}

// Form k of the table is sub-item k of a results row and column k of an
// export (column 0 being the address as given).
constexpr Form formAt(int index)
{
    return Forms[size_t(index - 1)].form;
}

constexpr bool formsInOrder()
{
    for (int k = 1; k <= FormCount; ++k) {
        if (int(formAt(k)) != k)
            return false;
    }
    return true;
}
static_assert(formsInOrder(), "Form k must be entry k of the table");
// A record holds the address and one text per form; a field added to it
// needs its entry in the table.
static_assert(sizeof(ConversionResult) == (FormCount + 1) * sizeof(QString));

} // namespace MapIP
