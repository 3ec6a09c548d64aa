#pragma once

#include "ListModel.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "conversion/Networks.h"

#include <QStringView>

// Where a run of the tool puts its rows: the results table the window's
// exports walk (TableRows), or the rows of the text file (AlignedTextRows),
// which keeps only what its lines need.
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

// The results table, its rows ticked as the user ticks them.
class TableRows final : public ResultRows
{
public:
    explicit TableRows(ListModel& table)
        : m_table(table)
    {
    }

    qsizetype rows() const override { return m_table.rows(); }
    void add(const MapIP::RowConversion& row, unsigned subItems, bool ticked) override
    {
        added(m_table.appendRow(row.address()), subItems, ticked);
    }
    void add(const MapIP::RowDecoding& row, unsigned subItems, bool ticked) override
    {
        added(m_table.appendRow(row.row()), subItems, ticked);
    }
    void addPart(QStringView text, const MapIP::Ipv4Network& part, bool ticked) override
    {
        m_table.setChecked(m_table.appendPart(text, part), ticked);
    }

private:
    void added(qsizetype row, unsigned subItems, bool ticked)
    {
        m_table.setDerivedSubItems(row, subItems);
        m_table.setChecked(row, ticked);
    }

    ListModel& m_table;
};
