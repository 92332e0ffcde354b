#include "serverinfo/playernamefilter.h"

#include "platform/codepage/codepagetext.h"

bool PlayerNameFilter::Matches(std::string_view name) const
{
    if (typed_.isEmpty())
        return true;
    return QString::fromStdU16String(AnsiToUtf16(name)).contains(typed_, Qt::CaseInsensitive);
}
