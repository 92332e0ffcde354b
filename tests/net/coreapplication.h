#pragma once
// The one application object of the net tests: queued calls and lookup results
// come through the event loop of the receiving thread, which needs it.

#include <QCoreApplication>

inline QCoreApplication& Application()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}
