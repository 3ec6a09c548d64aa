#include "ProgressAdapters.h"

#include <algorithm>

void WriterProgress::setValue(double value)
{
    m_shown = std::max(m_shown, value);
    m_bar.setValue(m_shown);
}

void ProgressYielder::yield()
{
    if (m_bar)
        m_bar->update();
}
