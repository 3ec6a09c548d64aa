#pragma once

class EncodedBlocks;
class TableSource;
class Yielder;

// Machine-readable copies of the ticked rows, for programs rather than
// people: each is a format on the table walk (TableWalk.h) and writes UTF-8
// into `output`, which the caller flushes. Cells are written exactly as the
// table holds them. Return false, having written part of the rows, when the
// yielder asks to stop.

// CSV as RFC 4180 has it: a caption line, then a line per ticked row, fields
// separated by commas; a field holding a comma, a double quote, a CR or an LF
// is quoted and its quotes doubled; every line ends in CR LF.
//
// Exact fields round-trip, but a spreadsheet that opens the file takes a
// field that starts with "=", "+", "-" or "@" for a formula and runs it.
// FormulaSafe writes a "'" before such a field, and before one that starts
// with a TAB or a CR, as OWASP advises; the spreadsheet shows it as text.
enum class CsvFields { Exact, FormulaSafe };
bool writeCsv(const TableSource& table, Yielder& yielder, EncodedBlocks& output,
              CsvFields fields = CsvFields::Exact);

// JSON Lines: a JSON object per ticked row on a line of its own, keyed by the
// table's column keys (the address and its forms: "original", "full", ...);
// a result cell that is empty (a form that did not convert) is null.
bool writeJsonLines(const TableSource& table, Yielder& yielder, EncodedBlocks& output);
