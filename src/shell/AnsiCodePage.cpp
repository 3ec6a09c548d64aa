#include "AnsiCodePage.h"

#ifdef Q_OS_WIN
#include <QStringDecoder>
#include <QStringEncoder>
#endif

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace AnsiCodePage {

namespace {

// windows-1252 bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::array<char16_t, 256> makeDecodeTable()
{
    std::array<char16_t, 256> table {};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<char16_t>(byte);
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = HighControls[i];
    return table;
}

constexpr std::array<char16_t, 256> DecodeTable = makeDecodeTable();

char encodeOne(char16_t c) noexcept
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

void decodeAppend(QByteArrayView bytes, QString& out)
{
#ifdef Q_OS_WIN
    out += QStringDecoder(QStringDecoder::System).decode(bytes);
#else
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    char16_t* target = reinterpret_cast<char16_t*>(out.data()) + start;
    const char* source = bytes.data();
    qsizetype i = 0;
#ifdef __SSE2__
    // Plain ASCII, nearly everything a list holds, is widened sixteen bytes
    // at a time; a piece with any other byte goes through the table.
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        if (_mm_movemask_epi8(units) != 0) {
            for (qsizetype k = i; k < i + 16; ++k)
                target[k] = DecodeTable[static_cast<unsigned char>(source[k])];
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i),
                         _mm_unpacklo_epi8(units, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i + 8),
                         _mm_unpackhi_epi8(units, _mm_setzero_si128()));
    }
#endif
    for (; i < bytes.size(); ++i)
        target[i] = DecodeTable[static_cast<unsigned char>(source[i])];
#endif
}

QString decode(QByteArrayView bytes)
{
    QString text;
    decodeAppend(bytes, text);
    return text;
}

qsizetype encodeInto(QStringView text, char* target) noexcept
{
#ifdef Q_OS_WIN
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.appendToBuffer(target, text) - target;
#else
    const qsizetype size = text.size();
    const char16_t* source = text.utf16();
    qsizetype i = 0;
#ifdef __SSE2__
    // Plain ASCII, nearly everything a list holds, is narrowed eight
    // characters at a time.
    const auto narrowed = [&](qsizetype at) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + at));
        const __m128i notAscii = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(notAscii, _mm_setzero_si128())) != 0xFFFF)
            return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(target + at), _mm_packus_epi16(units, units));
        return true;
    };
    while (i + 8 <= size && narrowed(i))
        i += 8;
    // The rest of a text of eight or more: the last eight, again in part.
    if (i + 8 > size && i < size && size >= 8 && narrowed(size - 8))
        i = size;
#endif
    qsizetype written = i;
    for (; i < size; ++i) {
        const char16_t c = source[i];
        if (c < 0x80) {
            target[written++] = static_cast<char>(c);
            continue;
        }
        // One byte for every UTF-16 unit, so that a text's length in characters
        // is its length in the file and padded columns stay aligned.
        target[written++] = encodeOne(c);
    }
    return written;
#endif
}

void encodeAppend(QStringView text, QByteArray& out)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    out.truncate(start + encodeInto(text, out.data() + start));
}

QByteArray encode(QStringView text)
{
    QByteArray bytes;
    encodeAppend(text, bytes);
    return bytes;
}

} // namespace AnsiCodePage
