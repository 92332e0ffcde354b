#pragma once

#include <QValidator>

// The player's name as typed: at most 14 characters, and only characters
// the game's code page (Windows-1252) can hold. A longer name the profile
// already has is shown whole and may be shortened, but not lengthened.
class TypedNameValidator : public QValidator {
public:
    static constexpr qsizetype TypedLimit = 14;

    using QValidator::QValidator;

    // The field shows `text` now (typed or set); the field calls this on
    // every change, since while it validates it already holds the new text.
    void Shown(const QString& text) { shownLength_ = text.size(); }

    State validate(QString& input, int& position) const override;

private:
    qsizetype shownLength_ = 0;
};
