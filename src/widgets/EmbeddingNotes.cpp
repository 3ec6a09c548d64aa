#include "EmbeddingNotes.h"

#include "conversion/Decoding.h"
#include "conversion/Networks.h"

QString missingDotFormsNote(const MapIP::ConversionOptions& options)
{
    if (options.writesForm(MapIP::Form::DotFull) && options.writesForm(MapIP::Form::DotShorthand))
        return {};
    return QStringLiteral(
        "Note: behind a prefix shorter than /96 the IPv4 address is spread over the groups, "
        "so there are no dot notation forms");
}

bool embedsIntoWellKnownNat64(const MapIP::ConversionOptions& options)
{
    return options.embedding() == MapIP::Embedding::named(MapIP::Embedding::Named::Nat64);
}

QString nat64Note(quint32 address)
{
    const std::optional<QString> range = MapIP::nonGlobalRange(address);
    if (!range)
        return {};
    return QStringLiteral("Note: %1 is %2, which the NAT64 well-known prefix 64:ff9b::/96 must not carry "
                          "(RFC 6052 section 3.1)")
        .arg(MapIP::dottedQuad(address), *range);
}
