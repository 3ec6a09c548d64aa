#include "CellDeriver.h"

#include "conversion/MapIP.h"

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

void ConversionFormsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    cellInto(conversionOf(rowText), subItem, out);
}

void ConversionFormsDeriver::cellInto(const MapIP::RowConversion& conversion, int subItem, QString& out) const
{
    if (isReverseDns(subItem))
        out = conversion.reverseDnsName();
    else if (isForm(subItem) && conversion.converts(formOf(subItem)))
        conversion.write(formOf(subItem), out);
    else
        out.resize(0);
}

qsizetype ConversionFormsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    if (isReverseDns(subItem)) {
        const qsizetype length = conversionOf(rowText).reverseDnsName().size();
        return length > 0 ? length : -1;
    }
    return isForm(subItem) ? conversionOf(rowText).length(formOf(subItem)) : -1;
}

qsizetype ConversionFormsDeriver::knownDerivedLength(int subItem, QStringView rowText) const
{
    if (!isReverseDns(subItem) && !isForm(subItem))
        return -1;
    return cellLength(conversionOf(rowText), subItem, m_reverseDns);
}

qsizetype ConversionFormsDeriver::cellLength(const MapIP::RowConversion& conversion, int subItem,
                                             bool reverseDns)
{
    if (reverseDns && subItem == ReverseDnsSubItem)
        return conversion.reverseDnsName().size();
    // A cell set in one text style may fail in another, and then reads as empty.
    return isForm(subItem) ? conversion.lengthIfConverts(formOf(subItem)) : 0;
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    if (isReverseDns(subItem))
        return !value.isEmpty() && conversionOf(rowText).reverseDnsName() == value;
    return isForm(subItem) && conversionOf(rowText).isText(formOf(subItem), value);
}

unsigned ConversionFormsDeriver::subItemsOf(const MapIP::RowConversion& conversion, bool reverseDns)
{
    unsigned subItems = conversion.convertedForms();
    if (reverseDns && !conversion.reverseDnsName().isEmpty())
        subItems |= 1u << (ReverseDnsSubItem - 1);
    return subItems;
}

unsigned ConversionFormsDeriver::derivedSubItems(QStringView rowText) const
{
    return subItemsOf(conversionOf(rowText), m_reverseDns);
}

std::vector<MapIP::Ipv4Network> ConversionFormsDeriver::partsOf(const MapIP::RowConversion& conversion)
{
    // A plain address is known to be one without reading it.
    if (conversion.kind() != MapIP::RowConversion::Kind::Range)
        return {};
    std::vector<MapIP::Ipv4Network> parts = conversion.rangePrefixes();
    if (parts.size() < 2)
        parts.clear();
    return parts;
}

std::vector<MapIP::Ipv4Network> ConversionFormsDeriver::partsOf(QStringView rowText) const
{
    if (!rowText.contains(u'-'))
        return {};
    return partsOf(conversionOf(rowText));
}

void ConversionFormsDeriver::derivePartInto(int subItem, QStringView rowText, const MapIP::Ipv4Network& part,
                                            QString& out) const
{
    cellInto(MapIP::RowConversion(rowText, part, m_options), subItem, out);
}

QString DecodedFieldsDeriver::derive(int subItem, QStringView rowText) const
{
    QString text;
    deriveInto(subItem, rowText, text);
    return text;
}

void DecodedFieldsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    if (isReverseDns(subItem)) {
        out = decodingOf(rowText).reverseDnsName();
        return;
    }
    QString unused;
    out.resize(0);
    out.append(cellText(decodingOf(rowText), subItem, m_reverseDns, unused));
}

qsizetype DecodedFieldsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    // A decoded row's detail may be empty; a row that did not decode has none.
    const MapIP::RowDecoding& decoding = decodingOf(rowText);
    if (decoding.failed())
        return -1;
    if (isReverseDns(subItem))
        return decoding.reverseDnsName().size();
    return isField(subItem) ? decoding.text(MapIP::RowDecoding::Field(subItem - 1)).size() : -1;
}

qsizetype DecodedFieldsDeriver::knownDerivedLength(int subItem, QStringView rowText) const
{
    return cellLength(decodingOf(rowText), subItem, m_reverseDns);
}

qsizetype DecodedFieldsDeriver::cellLength(const MapIP::RowDecoding& decoding, int subItem, bool reverseDns)
{
    if (decoding.failed())
        return 0;
    if (reverseDns && subItem == ReverseDnsSubItem)
        return decoding.reverseDnsName().size();
    const bool field = subItem >= 1 && subItem <= MapIP::RowDecoding::FieldCount;
    return field ? decoding.text(MapIP::RowDecoding::Field(subItem - 1)).size() : 0;
}

bool DecodedFieldsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    if (value.isEmpty())
        return false;
    if (isReverseDns(subItem))
        return decodingOf(rowText).reverseDnsName() == value;
    return isField(subItem) && decodingOf(rowText).text(MapIP::RowDecoding::Field(subItem - 1)) == value;
}

unsigned DecodedFieldsDeriver::subItemsOf(const MapIP::RowDecoding& decoding, bool reverseDns)
{
    if (decoding.failed())
        return 0;
    unsigned subItems = (1u << MapIP::RowDecoding::FieldCount) - 1;
    if (reverseDns)
        subItems |= 1u << (ReverseDnsSubItem - 1);
    return subItems;
}

unsigned DecodedFieldsDeriver::derivedSubItems(QStringView rowText) const
{
    return subItemsOf(decodingOf(rowText), m_reverseDns);
}
