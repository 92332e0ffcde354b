#include "profiles/playeredit/colorvalue.h"

#include "platform/int32text.h"

#include <optional>

namespace {

bool IsDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

std::optional<std::int32_t> ReadDecimal(const QString& digits)
{
    std::int64_t value = 0;
    for (QChar c : digits) {
        if (!IsDecimalDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > INT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ReadHexadecimal(const QString& digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : digits) {
        const int digit = c.unicode() < 128 ? HexDigitValue(static_cast<char>(c.unicode())) : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<unsigned>(digit);
        // Leading zeros do not count towards the eight digits.
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

} // namespace

TColorValueError::TColorValueError(const QString& readText)
    : std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(readText).toStdString())
{
}

std::int32_t ColorFieldValue(const QString& text)
{
    const QString read = u'0' + text;
    const bool hexadecimal = text.startsWith(u'x') || text.startsWith(u'X');
    const std::optional<std::int32_t> value = hexadecimal ? ReadHexadecimal(text.mid(1)) : ReadDecimal(text);
    if (!value)
        throw TColorValueError(read);
    return *value;
}
