#include "query/terminaltext.h"

#include "platform/codepage/codepagetext.h"

#include <cstdio>

QString FromGameText(const std::string& text)
{
    return QString::fromStdU16String(AnsiToUtf16(text));
}

QString ForTerminal(const QString& text)
{
    QString clean = text;
    for (QChar& c : clean)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return clean;
}

void WriteOutput(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void WriteError(std::string_view message)
{
    std::fprintf(stderr, "quimbrel-query: %.*s\n", static_cast<int>(message.size()), message.data());
}
