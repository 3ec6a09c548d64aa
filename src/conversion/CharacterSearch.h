#pragma once

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The first of either of two characters in a text: list lines, rows and
// their parts are searched for their ends and separators a million times, so
// eight characters are looked at a time where the processor can.
inline const char16_t* findEither(const char16_t* cursor, const char16_t* end, char16_t first,
                                  char16_t second) noexcept
{
#ifdef __SSE2__
    const __m128i firsts = _mm_set1_epi16(static_cast<short>(first));
    const __m128i seconds = _mm_set1_epi16(static_cast<short>(second));
    for (; end - cursor >= 8; cursor += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cursor));
        const int found = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi16(units, firsts), _mm_cmpeq_epi16(units, seconds)));
        if (found != 0)
            return cursor + std::countr_zero(unsigned(found)) / 2;
    }
#endif
    return std::find_if(cursor, end, [=](char16_t c) { return c == first || c == second; });
}
