#pragma once

#include "OutputFormats.h"

// tsv: one line per row, the row and its forms separated by TABs, no padding,
// each line ending in LF, written as the rows are read. In a field,
// backslash, TAB, LF and CR are written \\, \t, \n and \r, as PostgreSQL's
// text COPY format writes them, so no row can add fields or lines. A decoded
// row is written the same way: the row, its IPv4 address, embedding and
// detail. With the reverse-DNS setting a last field holds each row's
// reverse-DNS name.
std::unique_ptr<RowStream> openTsvStream(EncodedBlocks& output, const OutputSettings& settings);
