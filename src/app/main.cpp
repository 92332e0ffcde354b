#include "app/commandline.h"
#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"
#include "platform/allocatorarenas.h"
#include "platform/openfilelimit.h"
#include "platform/threadwaitslots.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        QuimbrelApplication::SetIdentity();
        ApplyCommandLine(QCoreApplication::arguments());
        return 0;
    }
    LimitAllocatorArenas();
    MapLargeBlocksApart();
    MakeRoomForManyThreadWaits();
    // Every measured server holds a socket: a long list needs many descriptors.
    RaiseOpenFileLimit();
    QuimbrelApplication app(argc, argv);
    ApplyCommandLine(QuimbrelApplication::arguments());
    MainWindows windows = CreateMainWindows();
    MeasureDistancesWithEchoes(*windows.form1);
    windows.form1->show();
    return QuimbrelApplication::exec();
}
