#include "profiles/playeredit/namefield.h"

#include "platform/codepage/codepagetext.h"

qsizetype TypedNameValidator::GameLength(const QString& text) const
{
    return static_cast<qsizetype>(Utf16ToAnsi(text.toStdU16String(), codePage_).size());
}

void TypedNameValidator::Shown(const QString& text) { shownLength_ = GameLength(text); }

QValidator::State TypedNameValidator::validate(QString& input, int&) const
{
    if (!AnsiCanHold(input.toStdU16String(), codePage_))
        return Invalid;
    const qsizetype length = GameLength(input);
    if (length > TypedLimit && length > shownLength_)
        return Invalid;
    return Acceptable;
}
