#pragma once

#include "app/quimbrelapplication.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

// Lets the event loop run and run empty for a while, as it does between a
// user's actions, so that the idle-time updates of the actions take place.
inline void RunUntilIdle(int milliseconds = 30)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Like QTEST_MAIN, with the program's own application object, so that tests
// see the program's fonts and error handling.
#define QUIMBREL_TEST_MAIN(TestClass)                          \
    int main(int argc, char** argv)                            \
    {                                                          \
        QuimbrelApplication app(argc, argv);                   \
        app.setAttribute(Qt::AA_Use96Dpi, true);               \
        TestClass test;                                        \
        QTEST_SET_MAIN_SOURCE_PATH                             \
        return QTest::qExec(&test, argc, argv);                \
    }
