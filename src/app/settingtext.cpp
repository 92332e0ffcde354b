#include "app/settingtext.h"

#include "platform/controlsymbols.h"

namespace {

constexpr char16_t kFirstRawByte = 0xDC80;  // stands for byte 0x80, up to 0xDCFF for 0xFF

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of bytes, or 0.
std::size_t Utf8SequenceLength(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(at(i)))
            return 0;
    }
    return length;
}

// The raw-byte marks of bytes 0x80 to 0xFF.
void AppendRawBytes(QString& shown, std::string_view bytes)
{
    for (const char byte : bytes)
        shown += QChar(char16_t(kFirstRawByte + (static_cast<unsigned char>(byte) - 0x80)));
}

} // namespace

QString ShownFromBytes(std::string_view bytes)
{
    QString shown;
    shown.reserve(static_cast<qsizetype>(bytes.size()));
    while (!bytes.empty()) {
        const std::size_t length = Utf8SequenceLength(bytes);
        if (length == 0) {
            AppendRawBytes(shown, bytes.substr(0, 1));
            bytes.remove_prefix(1);
            continue;
        }
        shown += ShownFromText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length)));
        bytes.remove_prefix(length);
    }
    return shown;
}

std::string BytesFromShown(const QString& shown)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(shown.size()));
    QString run;  // ordinary characters, encoded together
    auto flush = [&] {
        bytes += run.toUtf8().toStdString();
        run.clear();
    };
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i].unicode();
        const bool pairedLow = i > 0 && shown[i - 1].isHighSurrogate();
        if (c >= kFirstRawByte && c <= 0xDCFF && !pairedLow) {
            flush();
            bytes += static_cast<char>(0x80 + (c - kFirstRawByte));
        } else if (const std::optional<char16_t> control = ControlOfSymbol(c)) {
            flush();
            bytes += static_cast<char>(*control);
        } else {
            run += shown[i];
        }
    }
    flush();
    return bytes;
}

QString ShownFromText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        // One of the symbols itself would read back as its control
        // character: it is shown by the marks of its UTF-8 bytes instead.
        if (ControlOfSymbol(c.unicode()))
            AppendRawBytes(shown, QString(c).toUtf8().toStdString());
        else if (const std::optional<char16_t> symbol = ControlSymbol(c.unicode()))
            shown += QChar(*symbol);
        else
            shown += c;
    }
    return shown;
}

QString StoredSetting::Load(std::string bytes)
{
    shown_ = ShownFromBytes(bytes);
    bytes_ = std::move(bytes);
    loaded_ = true;
    return shown_;
}

std::string StoredSetting::Bytes(const QString& currentText) const
{
    if (loaded_ && currentText == shown_)
        return bytes_;
    return BytesFromShown(currentText);
}
