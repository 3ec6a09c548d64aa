#include "EncodedBlocks.h"

#include "ExportTarget.h"

#include <algorithm>

EncodedBlocks::EncodedBlocks(ExportTarget& target)
    : m_target(target)
{
    // Room for a full block and the line that fills it, so that gathering
    // seldom reallocates.
    m_block.reserve(BlockBytes + 4096);
}

void EncodedBlocks::append(QStringView text)
{
    while (!text.isEmpty()) {
        const qsizetype piece = std::min(text.size(), BlockBytes);
        AnsiCodePage::encodeAppend(text.first(piece), m_block);
        text = text.sliced(piece);
        if (isFull())
            flush();
    }
}

void EncodedBlocks::gather(QStringView text)
{
    AnsiCodePage::encodeAppend(text, m_block);
}

void EncodedBlocks::flush()
{
    m_target.write(m_block);
    m_block.resize(0);
}
