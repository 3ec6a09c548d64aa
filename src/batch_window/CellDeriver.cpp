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
    return MapIP::RowConversion(rowText).convertedForms();
}
