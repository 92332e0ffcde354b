#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"

int main(int argc, char** argv)
{
    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    windows.form1->show();
    return QuimbrelApplication::exec();
}
