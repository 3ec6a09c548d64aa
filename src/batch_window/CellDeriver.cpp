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
    if (isForm(subItem))
        MapIP::tryConvert(formOf(subItem), rowText, text, m_options);
    return text;
}

void ConversionFormsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    if (!isForm(subItem) || MapIP::tryConvert(formOf(subItem), rowText, out, m_options).failed())
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
    return std::max<qsizetype>(0, MapIP::convertedLength(formOf(subItem), rowText, m_options));
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    return isForm(subItem) && MapIP::isForm(formOf(subItem), rowText, value, m_options);
}

unsigned ConversionFormsDeriver::derivedSubItems(QStringView rowText) const
{
    return MapIP::RowConversion(rowText, m_options).convertedForms();
}
