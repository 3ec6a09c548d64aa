#pragma once

#include "conversion/Networks.h"

#include <QStringView>

class AlignedTextRows;
class ListModel;
namespace MapIP {
class RowConversion;
class RowDecoding;
} // namespace MapIP

// Where a run of the tool puts its rows: the results table the window's
// exports walk, or the rows of the text file, which keeps only what its
// lines need.
class ResultRows
{
public:
    virtual ~ResultRows() = default;

    virtual qsizetype rows() const = 0;
    // A row and the sub-items it has a text for (bit k - 1 standing for
    // sub-item k), ticked or not.
    virtual void add(const MapIP::RowConversion& row, unsigned subItems, bool ticked) = 0;
    virtual void add(const MapIP::RowDecoding& row, unsigned subItems, bool ticked) = 0;
    // One prefix of a range that makes several rows; every sub-item derives.
    virtual void addPart(QStringView text, const MapIP::Ipv4Network& part, bool ticked) = 0;
};
