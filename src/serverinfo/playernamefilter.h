#pragma once

#include <QString>

#include <string_view>

// Which player names a search lists: those that hold the typed text, in any
// letter case; an empty text lets every name through. Names are compared as
// the user reads them, decoded from the game's code page.
class PlayerNameFilter {
public:
    explicit PlayerNameFilter(QString typed = {}) : typed_(std::move(typed)) {}
    bool Matches(std::string_view name) const;
    const QString& Typed() const { return typed_; }

private:
    QString typed_;
};
