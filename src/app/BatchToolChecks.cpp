// quadrix-batch's reports on rows: the forms a row fails, a row that does not
// decode, and the one warning about non-global addresses behind the NAT64
// well-known prefix.

#include "BatchTool.h"

#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "export/CellDeriver.h"

using namespace Qt::StringLiterals;

QStringList BatchTool::failureMessages(qsizetype row, const MapIP::RowConversion& conversion)
{
    QStringList messages;
    // Nearly every row converts in every form it is written in.
    if (conversion.convertedForms() == conversion.options().writtenForms())
        return messages;
    for (const MapIP::FormDefinition& form : MapIP::Forms) {
        const MapIP::ConversionFailure failure = conversion.failure(form.form);
        if (failure.failed())
            messages.append(u"row "_s + QString::number(row) + u' ' + MapIP::quotedPart(conversion.address())
                            + u": "_s + form.label.toString() + u": "_s + MapIP::describe(failure));
    }
    return messages;
}

std::optional<QString> BatchTool::failureMessage(qsizetype row, const MapIP::RowDecoding& decoding) const
{
    if (!decoding.failed())
        return std::nullopt;
    return u"row "_s + QString::number(row) + u": "_s
        + MapIP::describe(decoding.decoded(), decoding.row(), m_decoding);
}

std::optional<QString> BatchTool::nonGlobalWarning(qsizetype row, const MapIP::RowConversion& conversion,
                                                   const std::vector<MapIP::Ipv4Network>& parts) const
{
    if (!m_wellKnownNat64)
        return std::nullopt;
    std::vector<MapIP::Ipv4Network> networks = parts;
    if (networks.empty()) {
        if (const std::optional<MapIP::Ipv4Network> network = conversion.network())
            networks.push_back(*network);
        else if (const std::optional<quint32> address = conversion.ipv4())
            networks.push_back({ *address, 32 });
    }
    for (const MapIP::Ipv4Network& network : networks) {
        // A prefix is looked at by its first and its last address.
        std::optional<QString> range = MapIP::nonGlobalRange(network.address);
        if (!range)
            range = MapIP::nonGlobalRange(network.last());
        if (range)
            return u"warning: the NAT64 well-known prefix 64:ff9b::/96 must not carry non-global addresses "
                   u"(RFC 6052 section 3.1), but row "_s
                + QString::number(row) + u' ' + MapIP::quotedPart(conversion.address()) + u" is "_s + *range
                + u"; its forms are written all the same (this is said once)"_s;
    }
    return std::nullopt;
}

void BatchTool::reportFailures(const QStringList& messages)
{
    for (const QString& text : messages)
        message(text);
    m_rowsFailed = m_rowsFailed || !messages.isEmpty();
}

void BatchTool::reportFailure(qsizetype row, const MapIP::RowDecoding& decoding)
{
    if (const std::optional<QString> text = failureMessage(row, decoding))
        reportFailures({ *text });
}

void BatchTool::warnOnce(const std::optional<QString>& warning)
{
    if (m_nonGlobalWarned || !warning)
        return;
    m_nonGlobalWarned = true;
    message(*warning);
}

BatchTool::RowNote BatchTool::noteOf(qsizetype row, const MapIP::RowConversion& conversion,
                                     bool withWarning) const
{
    RowNote note;
    // Nearly every row is a plain address of four octets, which converts in
    // every form.
    if (!conversion.plainOctets()) {
        note.parts = ConversionFormsDeriver::partsOf(conversion);
        if (note.parts.empty())
            note.failures = failureMessages(row, conversion);
    }
    if (withWarning && m_wellKnownNat64)
        note.warning = nonGlobalWarning(row, conversion, note.parts);
    return note;
}

void BatchTool::report(const RowNote& note)
{
    reportFailures(note.failures);
    warnOnce(note.warning);
}

std::vector<MapIP::Ipv4Network> BatchTool::checkConversion(qsizetype row,
                                                           const MapIP::RowConversion& conversion)
{
    RowNote note = noteOf(row, conversion, !m_nonGlobalWarned);
    report(note);
    return std::move(note.parts);
}
