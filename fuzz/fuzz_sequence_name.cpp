// Splits whatever text the input holds as a path, both the POSIX and the Windows way, and the
// base name as the name of a numbered sequence, checking the properties the program relies on.

#include "FuzzSupport.h"

#include "source/LoadSetup.h"
#include "source/PathSplit.h"
#include "source/SequenceNaming.h"

#include <algorithm>

namespace {

bool isAsciiDigit(QChar character)
{
    return character >= QLatin1Char('0') && character <= QLatin1Char('9');
}

void checkSequenceName(const QString& baseName)
{
    const std::optional<SequenceName> name = parseSequenceName(baseName);
    if (!name) {
        require(
            baseName.isEmpty() || !isAsciiDigit(baseName.back()), "a name ending in a digit has a number");
        return;
    }
    const QString& digits = name->numberText;
    require(name->fixed + digits == baseName, "fixed part and number make the name");
    require(
        !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), isAsciiDigit), "the number is digits");
    require(name->fixed.isEmpty() || !isAsciiDigit(name->fixed.back()),
        "the number takes all the digits at the end");
    require(
        name->digits == std::min<qsizetype>(digits.size(), 32767), "the digit count is the number's length");
    require(name->zeroFilled == digits.startsWith(QLatin1Char('0')), "a leading zero means zero fill");
    // Up to 15 digits a double holds the number exactly, and composing it gives the text back.
    if (digits.size() > 15) return;
    QString composed = numberText(name->number);
    int16_t count = name->digits;
    if (name->zeroFilled) zeroFill(composed, count);
    require(composed == digits, "the number composes back to its text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (PathStyle style : { PathStyle::Posix, PathStyle::Windows }) {
        const PathParts parts = splitPath(path, style);
        require(parts.drive + parts.directory + parts.name + parts.extension == path,
            "the parts join to the path");
        require(!parts.name.contains(QLatin1Char('/')), "the base name holds no separator");
        require(parts.extension.isEmpty() || parts.extension.startsWith(QLatin1Char('.')),
            "an extension starts with its dot");
        checkSequenceName(parts.name);
    }
    return 0;
}
