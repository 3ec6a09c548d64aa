#include "CellDeriver.h"

#include "conversion/MapIP.h"

#include <algorithm>
#include <cstring>

#include <algorithm>

namespace {

MapIP::Form formOf(int subItem)
{
    return MapIP::formAt(subItem);
}

bool isForm(int subItem)
{
    return subItem >= 1 && subItem <= MapIP::FormCount;
}

} // namespace

QString ConversionFormsDeriver::derive(int subItem, QStringView rowText) const
{
    QString text;
    if (isForm(subItem))
        MapIP::tryConvert(formOf(subItem), rowText, text, m_options);
    return text;
}

const MapIP::RowConversion* ConversionFormsDeriver::lastRowConversion(QStringView rowText) const
{
    // The program's text copies most of its forms without reading the row.
    if (m_options.style() != MapIP::TextStyle::Rfc5952 || rowText.size() > qsizetype(m_lastRow.text.size()))
        return nullptr;
    const char16_t* const text = rowText.utf16();
    const bool same = m_lastRow.size == rowText.size()
        && std::memcmp(text, m_lastRow.text.data(), size_t(rowText.size()) * sizeof(char16_t)) == 0;
    if (!same) {
        std::copy(text, text + rowText.size(), m_lastRow.text.begin());
        m_lastRow.size = rowText.size();
        m_lastRow.conversion.emplace(QStringView(m_lastRow.text.data(), m_lastRow.size), m_options);
    }
    return &*m_lastRow.conversion;
}

void ConversionFormsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    if (!isForm(subItem)) {
        out.resize(0);
        return;
    }
    const MapIP::RowConversion* conversion = m_rfc5952 ? lastRowConversion(rowText) : nullptr;
    const MapIP::ConversionFailure failure = conversion
        ? conversion->write(formOf(subItem), out)
        : MapIP::tryConvert(formOf(subItem), rowText, out, m_options);
    if (failure.failed())
        out.resize(0);
}

qsizetype ConversionFormsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    return isForm(subItem) ? MapIP::formLength(formOf(subItem), rowText, m_options) : -1;
}

qsizetype ConversionFormsDeriver::knownDerivedLength(int subItem, QStringView rowText) const
{
    if (!isForm(subItem))
        return -1;
    // A cell set in one text style may fail in another, and then reads as empty.
    const MapIP::RowConversion* conversion = m_rfc5952 ? lastRowConversion(rowText) : nullptr;
    const qsizetype length = conversion ? conversion->length(formOf(subItem))
                                        : MapIP::convertedLength(formOf(subItem), rowText, m_options);
    return std::max<qsizetype>(0, length);
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    return isForm(subItem) && MapIP::isForm(formOf(subItem), rowText, value, m_options);
}

unsigned ConversionFormsDeriver::derivedSubItems(QStringView rowText) const
{
    return MapIP::RowConversion(rowText, m_options).convertedForms();
}
