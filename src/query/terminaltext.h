#pragma once

#include <string>
#include <string_view>

#include <QByteArray>
#include <QString>

// A text from a server, held in the game's code page (that of our locale).
QString FromGameText(const std::string& text);

// A server text for a line of plain output: control characters, which could
// break the lines or drive the terminal, become '?'.
QString ForTerminal(const QString& text);

// Writes bytes to standard output as they are.
void WriteOutput(const QByteArray& bytes);

// One line on standard error, after the program's name.
void WriteError(std::string_view message);
