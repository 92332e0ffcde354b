#include "app/quimbrelapplication.h"

#include "app/apptitle.h"
#include "app/appfont.h"
#include "app/messages.h"
#include "app/programicon.h"

QuimbrelApplication::QuimbrelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    SetIdentity();
    setWindowIcon(ProgramIcon());
    SetupApplicationFont();
}

void QuimbrelApplication::SetIdentity()
{
    // On X11 the name is also the windows' class (WM_CLASS), which the
    // desktop entry's StartupWMClass names so that a dock matches them.
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIMBREL_VERSION));
    // Ties our windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quimbrel.Quimbrel"));
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
