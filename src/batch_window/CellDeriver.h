#pragma once

#include <QString>
#include <QStringView>

// Cells that follow from a row's own text. A table given a deriver keeps such a
// cell as one bit and builds its text when it is read, which keeps a table of a
// million converted addresses small.
class CellDeriver
{
public:
    virtual ~CellDeriver() = default;

    // The text of sub-item `subItem` (1 to 4) derived from `rowText`, or a null
    // string when nothing derives from it.
    virtual QString derive(int subItem, QStringView rowText) const = 0;
    // Its length, or -1 when nothing derives from it.
    virtual qsizetype derivedLength(int subItem, QStringView rowText) const = 0;
    // True when `value` is exactly the derived text.
    virtual bool derives(int subItem, QStringView rowText, QStringView value) const = 0;
};

// The results table's sub-items: the four IPv6 forms of the row's address.
class ConversionFormsDeriver final : public CellDeriver
{
public:
    QString derive(int subItem, QStringView rowText) const override;
    qsizetype derivedLength(int subItem, QStringView rowText) const override;
    bool derives(int subItem, QStringView rowText, QStringView value) const override;
};
