#pragma once

#include <QStringView>

#include <memory>
#include <vector>

// Texts kept one after another in blocks that never move, so a view of one
// stays valid while more are added: a million rows' texts cost a few hundred
// allocations, not a million, and no copy when the list grows.
class TextArena final
{
public:
    // A copy of `text` that lives as long as the arena (or until clear()).
    QStringView store(QStringView text);
    void clear();

private:
    static constexpr qsizetype BlockSize = 64 * 1024;

    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t* m_free = nullptr;
    qsizetype m_freeLeft = 0;
};
