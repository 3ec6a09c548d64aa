// quadrix-batch --expand: prefixes and ranges as one row per address.

#include "BatchTool.h"

#include "conversion/MapIP.h"
#include "export/CellDeriver.h"
#include "export/Expansion.h"
#include "export/ExportTarget.h"
#include "export/ResultRows.h"
#include "shell/AppError.h"

#include <QFile>

using namespace Qt::StringLiterals;

bool BatchTool::appendExpanded(ResultRows& rows, qsizetype row, const MapIP::RowConversion& conversion)
{
    const std::vector<MapIP::Ipv4Network> networks
        = Expansion::expandedNetworks(conversion.address(), m_conversion);
    m_expandedRows += networks.empty() ? 1 : Expansion::expandedRowCount(networks);
    if (m_expandedRows > m_options.format->expandedRowLimit) {
        m_expansionRefused = true;
        fileError(u"row "_s + QString::number(row) + u' ' + MapIP::quotedPart(conversion.address())
                  + u": the expansion comes to more than "_s
                  + QString::number(m_options.format->expandedRowLimit) + u" rows, which the "_s
                  + m_options.format->name.toString()
                  + u" format cannot hold; nothing was written (tsv, csv and jsonl stream any number)"_s);
        return false;
    }
    // Ticks count the rows as given: what a row expands into is ticked with it.
    const bool ticked = m_options.ticks.contains(row);
    const auto append = [&](const MapIP::RowConversion& rowConversion) {
        rows.add(rowConversion, ConversionFormsDeriver::subItemsOf(rowConversion, m_layout.reverseDns),
                 ticked);
    };
    if (networks.empty()) {
        append(conversion);
        return true;
    }
    char16_t text[15];
    for (const MapIP::Ipv4Network& network : networks) {
        for (quint64 offset = 0; offset < network.size(); ++offset) {
            const QStringView address(text, MapIP::writeDottedQuad(quint32(network.address + offset), text));
            append(MapIP::RowConversion(address, m_conversion));
        }
    }
    return true;
}

void BatchTool::runExpansion()
{
    const std::unique_ptr<ExportTarget> target = createTarget();
    if (!target)
        return;
    // The stream writes from a thread of its own; the target is not used
    // here meanwhile. Standard output, when it is the process's, is written
    // straight to its descriptor, whose pipe the sink may enlarge.
    Expansion::Sink sink = [&target](QByteArrayView bytes) {
        try {
            target->write(bytes);
        } catch (const AppError& error) {
            return error.description();
        }
        return QString();
    };
    if (auto* file = qobject_cast<QFile*>(&m_streams.output);
        m_options.writesToStandardOutput() && file && file->handle() >= 0 && file->flush())
        sink = Expansion::descriptorSink(file->handle(), outputName());
    Expansion::ExpansionStream stream(
        m_conversion, { *m_options.format->expansion, m_options.settings.reverseDns }, std::move(sink),
        keptRowWriter(*m_options.format, m_conversion, m_options.settings));
    readInputs([&](QStringView text) {
        const qsizetype row = ++m_rows;
        checkConversion(row, MapIP::RowConversion(text, m_conversion));
        // Ticks count input rows here: an expansion is one row's output.
        if (m_options.ticks.contains(row) && !stream.addRow(text))
            return;
    });
    const Expansion::Outcome outcome = stream.finish();
    if (outcome.status == Expansion::Outcome::Status::Failed) {
        target->abandon();
        fileError(outcome.failure);
        return;
    }
    try {
        target->finish();
    } catch (const AppError& error) {
        fileError(error.description());
    }
}
