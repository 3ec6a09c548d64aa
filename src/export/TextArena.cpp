#include "TextArena.h"

#include <algorithm>

QStringView TextArena::store(QStringView text)
{
    const qsizetype length = text.size();
    if (length == 0)
        return {};
    char16_t* target = nullptr;
    if (length > BlockSize / 4) {
        // A long text gets a block of its own rather than wasting a shared one.
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(length)));
        target = m_blocks.back().get();
    } else {
        if (m_freeLeft < length) {
            m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(BlockSize));
            m_free = m_blocks.back().get();
            m_freeLeft = BlockSize;
        }
        target = m_free;
        m_free += length;
        m_freeLeft -= length;
    }
    std::copy(text.utf16(), text.utf16() + length, target);
    return QStringView(target, length);
}

void TextArena::clear()
{
    m_blocks.clear();
    m_free = nullptr;
    m_freeLeft = 0;
}
