#include "EncodedBlocks.h"

#include "ExportTarget.h"

#include <algorithm>

EncodedBlocks::EncodedBlocks(ExportTarget& target, Encoding encoding)
    : m_target(target)
    , m_encoding(encoding)
{
    // Room for a full block and the line that fills it, so that gathering
    // seldom reallocates.
    m_block.reserve(BlockBytes + 4096);
}

void EncodedBlocks::append(QStringView text)
{
    // A short text, as nearly every one is, in one step.
    if (text.size() < BlockBytes) {
        encodeAppend(text);
        if (isFull())
            flush();
        return;
    }
    while (!text.isEmpty()) {
        qsizetype piece = std::min(text.size(), BlockBytes);
        // A character of two UTF-16 units is encoded whole.
        if (piece < text.size() && text[piece - 1].isHighSurrogate())
            --piece;
        encodeAppend(text.first(piece));
        text = text.sliced(piece);
        if (isFull())
            flush();
    }
}

void EncodedBlocks::gather(QStringView text)
{
    encodeAppend(text);
}

void EncodedBlocks::encodeAppend(QStringView text)
{
    if (m_encoding == Encoding::Utf8)
        m_block.append(text.toUtf8());
    else
        AnsiCodePage::encodeAppend(text, m_block);
}

void EncodedBlocks::flush()
{
    m_target.write(m_block);
    m_block.resize(0);
}
