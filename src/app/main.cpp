#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"
#include "platform/openfilelimit.h"

int main(int argc, char** argv)
{
    // Every measured server holds a socket: a long list needs many descriptors.
    RaiseOpenFileLimit();
    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    MeasureDistancesWithEchoes(*windows.form1);
    windows.form1->show();
    return QuimbrelApplication::exec();
}
