#include "CellDeriver.h"

#include "conversion/MapIP.h"

namespace {

MapIP::Form formOf(int subItem)
{
    return static_cast<MapIP::Form>(subItem);
}

bool isForm(int subItem)
{
    return subItem >= 1 && subItem <= 4;
}

} // namespace

QString ConversionFormsDeriver::derive(int subItem, QStringView rowText) const
{
    QString text;
    if (isForm(subItem))
        MapIP::tryConvert(formOf(subItem), rowText, text);
    return text;
}

void ConversionFormsDeriver::deriveInto(int subItem, QStringView rowText, QString& out) const
{
    if (!isForm(subItem) || MapIP::tryConvert(formOf(subItem), rowText, out).failed())
        out.resize(0);
}

qsizetype ConversionFormsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    return isForm(subItem) ? MapIP::formLength(formOf(subItem), rowText) : -1;
}

qsizetype ConversionFormsDeriver::knownDerivedLength(int subItem, QStringView rowText) const
{
    return isForm(subItem) ? MapIP::convertedLength(formOf(subItem), rowText) : -1;
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    return isForm(subItem) && MapIP::isForm(formOf(subItem), rowText, value);
}

unsigned ConversionFormsDeriver::derivedSubItems(QStringView rowText) const
{
    // Forms 1 and 2 read the same digits, so they convert or fail together;
    // forms 3 and 4 always convert.
    constexpr unsigned DotForms = 0b1100;
    constexpr unsigned HexForms = 0b0011;
    return MapIP::formLength(MapIP::Form::Full, rowText) >= 0 ? DotForms | HexForms : DotForms;
}
