#include "CellDeriver.h"

#include "conversion/MapIP.h"

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
    deriveInto(subItem, rowText, text);
    return text;
}

const MapIP::RowConversion& ConversionFormsDeriver::conversionOf(QStringView rowText) const
{
    // A row too long to keep a copy of is read afresh each time.
    if (rowText.size() > qsizetype(m_lastRow.text.size())) {
        m_lastRow.size = -1;
        m_lastRow.conversion.emplace(rowText, m_options);
        return *m_lastRow.conversion;
    }
    const char16_t* const text = rowText.utf16();
    // std::equal, not memcmp: an empty row has no characters and may have no address at all.
    const bool same
        = m_lastRow.size == rowText.size() && std::equal(text, text + rowText.size(), m_lastRow.text.data());
    if (!same) {
        std::copy(text, text + rowText.size(), m_lastRow.text.begin());
        m_lastRow.size = rowText.size();
        m_lastRow.conversion.emplace(QStringView(m_lastRow.text.data(), m_lastRow.size), m_options);
    }
    return *m_lastRow.conversion;
}

void ConversionFormsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    if (!isForm(subItem)) {
        out.resize(0);
        return;
    }
    const MapIP::RowConversion& conversion = conversionOf(rowText);
    if (conversion.converts(formOf(subItem)))
        conversion.write(formOf(subItem), out);
    else
        out.resize(0);
}

qsizetype ConversionFormsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    return isForm(subItem) ? conversionOf(rowText).length(formOf(subItem)) : -1;
}

qsizetype ConversionFormsDeriver::knownDerivedLength(int subItem, QStringView rowText) const
{
    // A cell set in one text style may fail in another, and then reads as empty.
    return isForm(subItem) ? conversionOf(rowText).lengthIfConverts(formOf(subItem)) : -1;
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    return isForm(subItem) && conversionOf(rowText).isText(formOf(subItem), value);
}

unsigned ConversionFormsDeriver::derivedSubItems(QStringView rowText) const
{
    return conversionOf(rowText).convertedForms();
}
