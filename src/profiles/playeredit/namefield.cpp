#include "profiles/playeredit/namefield.h"

#include "platform/cp1252.h"

QValidator::State TypedNameValidator::validate(QString& input, int&) const
{
    const std::u16string text = input.toStdU16String();
    if (Cp1252ToUtf16(Utf16ToCp1252(text)) != text)
        return Invalid;
    if (input.size() > TypedLimit && input.size() > shownLength_)
        return Invalid;
    return Acceptable;
}
