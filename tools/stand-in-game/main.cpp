// stand-in-game: stands in for one version of Zarn Tumblewick 2 in the demo,
// so that starting a game visibly does something where the game is not
// installed. It shows the version it plays and the arguments it was given.
//   stand-in-game --stands-for VERSION [GAME ARGUMENTS...]
#include "standinrequest.h"
#include "standinwindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::optional<StandInRequest> request = ParseStandInArguments(QApplication::arguments());
    if (!request) {
        std::fputs("usage: stand-in-game --stands-for VERSION [GAME ARGUMENTS...]\n", stderr);
        return 2;
    }
    StandInWindow window(*request);
    window.show();
    return QApplication::exec();
}
