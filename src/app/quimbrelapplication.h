#pragma once

#include <QApplication>

// The application object. An error that escapes a command's handler ends up
// in the generic error box instead of ending the program.
class QuimbrelApplication : public QApplication {
    Q_OBJECT
public:
    QuimbrelApplication(int& argc, char** argv);

    // The program's name, version and desktop entry, for the running
    // application object of either kind.
    static void SetIdentity();

    bool notify(QObject* receiver, QEvent* event) override;
};
