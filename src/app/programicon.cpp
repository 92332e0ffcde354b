#include "app/programicon.h"

QIcon ProgramIcon()
{
    return QIcon(QStringLiteral(":/art/quimbrel-icon.png"));
}
