#pragma once

#include "standinrequest.h"

#include <QWidget>

// The stand-in's one window: the version, the command line, and a way out.
class StandInWindow : public QWidget {
public:
    explicit StandInWindow(const StandInRequest& request);
};
