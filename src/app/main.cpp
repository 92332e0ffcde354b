#include "app/commandline.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        QuimbrelApplication::SetIdentity();
        ApplyCommandLine(QCoreApplication::arguments());
        return 0;
    }
    QuimbrelApplication app(argc, argv);
    ApplyCommandLine(QuimbrelApplication::arguments());
    MainWindows windows = CreateMainWindows();
    windows.form1->show();
    return QuimbrelApplication::exec();
}
