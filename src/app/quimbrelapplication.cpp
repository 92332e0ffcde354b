#include "app/quimbrelapplication.h"

#include "app/apptitle.h"
#include "app/appfont.h"
#include "app/messages.h"
#include "app/programicon.h"

QuimbrelApplication::QuimbrelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kAppTitle));
    setWindowIcon(ProgramIcon());
    SetupApplicationFont();
}

bool QuimbrelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(activeWindow(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowErrorBox(activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}
