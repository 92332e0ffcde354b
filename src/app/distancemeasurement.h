#pragma once

#include "net/echosocketkind.h"

#include <string>

class TForm1;

// Lets every row of the server table be measured by a TPingThread of its own.
void MeasureDistancesWithEchoes(TForm1& form, EchoSocketKind socketKind = EchoSocketKind::Automatic);

// What the user is told, once per run, when the system refuses the program
// the sockets it sends echoes through.
std::string EchoesRefusedExplanation(const std::string& programPath);
