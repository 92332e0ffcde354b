// A setting's bytes shown in an edit: whatever bytes the settings file holds,
// showing them and reading the shown text back gives the same bytes, with or
// without the setting's memory of what it loaded, and the shown text holds no
// control character (each is drawn as a visible symbol).

#include "app/settingtext.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString shown = ShownFromBytes(bytes);
    if (BytesFromShown(shown) != bytes)
        std::abort(); // the round trip lost or changed bytes

    for (const QChar c : shown) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            std::abort(); // a control character reached the edit
    }

    StoredSetting setting;
    if (setting.Load(bytes) != shown || setting.Bytes(shown) != bytes)
        std::abort();

    // Text typed by the user: stored as UTF-8 where it is ordinary text, so
    // a second round trip through the edit keeps it.
    const QString typed = QString::fromUtf8(bytes);
    const std::string stored = BytesFromShown(typed);
    if (BytesFromShown(ShownFromBytes(stored)) != stored)
        std::abort();
    return 0;
}
