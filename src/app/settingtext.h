#pragma once

// How a setting's bytes are shown in an edit and read back from it.
//
// The settings file holds 8-bit text as it stands; on this system Qt reads
// and writes 8-bit text as UTF-8. So:
// * bytes that form UTF-8 are shown as the characters they encode;
// * a byte that does not is shown as a replacement mark (it is kept as a lone
//   surrogate, U+DC80 + byte, which draws as one), and turns back into the
//   same byte when the text is read back, edited or not;
// * control characters are shown as visible symbols, so an odd value looks
//   odd: a line break as a return arrow (U+21B5), the others as their
//   control pictures (U+2400 + code, U+2421 for DEL); they turn back into
//   the control characters. Those symbols themselves, where the bytes hold
//   them, are shown as the replacement marks of their UTF-8 bytes, so that
//   they do not read back as control characters.
// A text the user types is stored as UTF-8, the visible symbols above and
// the replacement marks excepted.

#include <QString>

#include <string>
#include <string_view>

QString ShownFromBytes(std::string_view bytes);
std::string BytesFromShown(const QString& shown);

// The same visible symbols for a text that comes from elsewhere (the
// registry, the file dialog).
QString ShownFromText(const QString& text);

// One edit's setting: the bytes last loaded from the file and the text they
// were shown as. While the edit still shows that text, its value is exactly
// those bytes; once the user changed it, the value is what the edit shows.
class StoredSetting {
public:
    // Remembers the file's bytes and returns the text to show for them.
    QString Load(std::string bytes);

    // The setting's value for the edit's current text.
    std::string Bytes(const QString& currentText) const;

private:
    std::string bytes_;
    QString shown_;
    bool loaded_ = false;
};
