// A character picture: whatever a BMP file holds, loading and recolouring it
// never faults, and the recoloured copy keeps the picture's size.

#include "profiles/playeredit/colorpreview.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // A picture may claim any size in its header: stay within what a test run can hold.
    reader.setAllocationLimit(16);
    const QImage picture = reader.read();
    if (picture.isNull())
        return 0;

    ColorSet newColors{};
    for (std::size_t k = 0; k < newColors.size(); ++k)
        newColors[k] = 0x00FF0000u | static_cast<std::uint32_t>(k);
    const QImage shown = RecoloredCharacter(picture, PlaceholderGreys(), newColors);
    if (shown.size() != picture.size())
        std::abort();
    return 0;
}
