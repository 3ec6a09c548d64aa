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

qsizetype ConversionFormsDeriver::derivedLength(int subItem, QStringView rowText) const
{
    return isForm(subItem) ? MapIP::formLength(formOf(subItem), rowText) : -1;
}

bool ConversionFormsDeriver::derives(int subItem, QStringView rowText, QStringView value) const
{
    return isForm(subItem) && MapIP::isForm(formOf(subItem), rowText, value);
}
