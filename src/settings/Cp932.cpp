#include "settings/Cp932.h"

#include <algorithm>

namespace {

const iconv_t kNoConverter = iconv_t(-1);

// One strict conversion of a whole buffer.
std::optional<QByteArray> convert(iconv_t converter, QByteArrayView input)
{
    if (converter == kNoConverter) return std::nullopt;
    // A code page 932 character of one or two bytes takes at most three bytes of UTF-8, and the
    // other way round never grows, so four bytes per input byte always suffice.
    QByteArray output(input.size() * 4 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = size_t(input.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1)
        || iconv(converter, nullptr, nullptr, &out, &outLeft) == size_t(-1)) {
        // The converter may be left inside a character; the next text starts afresh.
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        return std::nullopt;
    }
    output.truncate(output.size() - qsizetype(outLeft));
    return output;
}

} // namespace

Cp932Converter::Cp932Converter()
    : m_toCp932(iconv_open("CP932", "UTF-8"))
    , m_fromCp932(iconv_open("UTF-8", "CP932"))
{
}

Cp932Converter::~Cp932Converter()
{
    if (m_toCp932 != kNoConverter) iconv_close(m_toCp932);
    if (m_fromCp932 != kNoConverter) iconv_close(m_fromCp932);
}

std::optional<QString> Cp932Converter::decode(QByteArrayView bytes)
{
    const std::optional<QByteArray> utf8 = convert(m_fromCp932, bytes);
    if (!utf8) return std::nullopt;
    return QString::fromUtf8(*utf8);
}

std::optional<QByteArray> Cp932Converter::characterCode(char16_t character)
{
    if (auto known = m_codes.constFind(character); known != m_codes.constEnd())
        return known->isEmpty() ? std::nullopt : std::optional<QByteArray>(*known);
    const QByteArray utf8 = QString(QChar(character)).toUtf8();
    std::optional<QByteArray> code = convert(m_toCp932, utf8);
    if (code && convert(m_fromCp932, *code) != utf8) code.reset();
    m_codes.insert(character, code.value_or(QByteArray()));
    return code;
}

std::optional<QByteArray> Cp932Converter::encodeLossless(const QString& text)
{
    QByteArray cp932;
    cp932.reserve(text.size() * 2);
    for (const QChar character : text) {
        // ASCII is its own code in code page 932, both ways; most file names need no conversion.
        if (character.unicode() < 0x80) {
            cp932 += char(character.unicode());
            continue;
        }
        // Half of a pair of surrogates: beyond the basic plane, which code page 932 does not reach.
        if (character.isSurrogate()) return std::nullopt;
        const std::optional<QByteArray> code = characterCode(character.unicode());
        if (!code) return std::nullopt;
        cp932 += *code;
    }
    return cp932;
}

std::optional<QByteArray> toCp932(const QString& text)
{
    return Cp932Converter().encodeLossless(text);
}

std::optional<QString> fromCp932(QByteArrayView bytes)
{
    return Cp932Converter().decode(bytes);
}
