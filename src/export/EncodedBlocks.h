#pragma once

#include "shell/AnsiCodePage.h"

#include <QByteArray>
#include <QStringView>

#include <algorithm>

class ExportTarget;

// A cell of the column-aligned text file: the text in the code page, the
// spaces that pad it to `width` characters (a longer text gets none) and then
// `separator`. Padding counts characters, which only single-byte text keeps
// as bytes. `out` has room for max(width, text.size()) + 1 bytes; returns the
// end of what was written.
inline char* writePaddedCell(char* out, QStringView text, qsizetype width, char separator) noexcept
{
    out += AnsiCodePage::encodeInto(text, out);
    out = std::fill_n(out, std::max(width - text.size(), qsizetype(0)), ' ');
    *out++ = separator;
    return out;
}

// Encoded output gathered into blocks of about BlockBytes, each written to the
// target in one call; one write per line would cost a system call per row.
// The text file, the tool's clipboard text and tsv are single-byte text in
// the ANSI code page (AnsiCodePage); CSV and JSON Lines are UTF-8.
//
// Two ways of writing share it. A stream calls append(text), which writes
// each block as soon as it is full, and flush() at the end. A writer that
// must know which of its steps wrote a block gathers with gather() and
// gatherPadded(), tests isFull() itself and calls flush() when it chooses.
class EncodedBlocks final
{
public:
    static constexpr qsizetype BlockBytes = 256 * 1024;

    enum class Encoding { AnsiCodePage, Utf8 };

    explicit EncodedBlocks(ExportTarget& target, Encoding encoding = Encoding::AnsiCodePage);

    // Encodes in pieces and writes every full block, so that a text of any
    // length costs no more than a block here. Throws AppError.
    void append(QStringView text);
    // A byte is only gathered; the next text or flush() writes it.
    void append(char c) { m_block.append(c); }
    // Room for `size` more bytes, for a caller that writes a line in place
    // (single-byte text: one byte for every UTF-16 unit); appended() then
    // says where they end and writes the block when it is full. Throws
    // AppError as append() does.
    char* room(qsizetype size)
    {
        const qsizetype start = m_block.size();
        m_block.resize(start + size);
        return m_block.data() + start;
    }
    void appended(const char* end)
    {
        m_block.truncate(end - m_block.constData());
        if (isFull())
            flush();
    }

    // Encodes the text without writing anything.
    void gather(QStringView text);
    // Gathers writePaddedCell()'s bytes; writes nothing. Every cell of a
    // large table comes through here, so it is one resize and inline.
    void gatherPadded(QStringView text, qsizetype width, char separator)
    {
        Q_ASSERT(m_encoding == Encoding::AnsiCodePage);
        const qsizetype start = m_block.size();
        m_block.resize(start + std::max(width, text.size()) + 1);
        const char* end = writePaddedCell(m_block.data() + start, text, width, separator);
        m_block.truncate(end - m_block.constData());
    }

    qsizetype size() const { return m_block.size(); }
    bool isFull() const { return m_block.size() >= BlockBytes; }
    // Drops the bytes gathered after the first `size`, say a line cut short.
    void truncate(qsizetype size) { m_block.truncate(size); }
    // Drops everything gathered.
    void discard() { m_block.resize(0); }

    // Writes what is gathered. Throws AppError, and the bytes then stay.
    void flush();

private:
    void encodeAppend(QStringView text);

    ExportTarget& m_target;
    Encoding m_encoding;
    QByteArray m_block;
};
