#include "settings/Cp932.h"

#include <iconv.h>

namespace {

// One strict iconv conversion of a whole buffer.
std::optional<QByteArray> convert(const char* to, const char* from, QByteArrayView input)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == iconv_t(-1)) return std::nullopt;
    // A code page 932 character of one or two bytes takes at most three bytes of UTF-8, and the
    // other way round never grows, so four bytes per input byte always suffice.
    QByteArray output(input.size() * 4 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = size_t(input.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    const bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1)
        && iconv(converter, nullptr, nullptr, &out, &outLeft) != size_t(-1);
    iconv_close(converter);
    if (!ok) return std::nullopt;
    output.truncate(output.size() - qsizetype(outLeft));
    return output;
}

} // namespace

std::optional<QByteArray> toCp932(const QString& text)
{
    // iconv gives some characters that have no code of their own the code of a look-alike ("¥"
    // that of the backslash, "〜" that of "～"), so only bytes that decode to the same text count.
    std::optional<QByteArray> bytes = convert("CP932", "UTF-8", text.toUtf8());
    if (!bytes || fromCp932(*bytes) != text) return std::nullopt;
    return bytes;
}

std::optional<QString> fromCp932(QByteArrayView bytes)
{
    const std::optional<QByteArray> utf8 = convert("UTF-8", "CP932", bytes);
    if (!utf8) return std::nullopt;
    return QString::fromUtf8(*utf8);
}
