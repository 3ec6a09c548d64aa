#include "EncodedBlocks.h"

#include "ExportTarget.h"
#include "shell/AnsiCodePage.h"

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

void EncodedBlocks::gatherPadded(QStringView text, qsizetype width)
{
    const qsizetype padding = std::max(width - text.size(), qsizetype(0));
    const qsizetype start = m_block.size();
    m_block.resize(start + text.size() + padding);
    char* cursor = m_block.data() + start;
    cursor += AnsiCodePage::encodeInto(text, cursor);
    cursor = std::fill_n(cursor, padding, ' ');
    m_block.truncate(cursor - m_block.constData());
}

void EncodedBlocks::flush()
{
    m_target.write(m_block);
    m_block.resize(0);
}
