#pragma once

#include "app/quimbrelapplication.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

// Lets the event loop run until its queue has run empty, as it does between
// a user's actions, so that the idle-time updates of the actions take place
// (they are connected to the same signal earlier, so they have run by then).
// The time limit only keeps a test from hanging.
inline void RunUntilIdle()
{
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
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
