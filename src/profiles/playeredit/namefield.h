#pragma once

#include "platform/codepage/localecodepage.h"

#include <QValidator>

// The player's name as typed: only characters the game's code page can
// hold, and at most 14 of them, counted as the game counts them: in bytes,
// so a character of a double-byte code page may take two. A longer name the
// profile already has is shown whole and may be shortened, but not
// lengthened.
class TypedNameValidator : public QValidator {
public:
    static constexpr qsizetype TypedLimit = 14;

    explicit TypedNameValidator(QObject* parent = nullptr, CodePage codePage = ProcessAnsiCodePage())
        : QValidator(parent), codePage_(codePage)
    {
    }

    // The field shows `text` now (typed or set); the field calls this on
    // every change, since while it validates it already holds the new text.
    void Shown(const QString& text);

    State validate(QString& input, int& position) const override;

private:
    qsizetype GameLength(const QString& text) const;

    CodePage codePage_;
    qsizetype shownLength_ = 0;
};
