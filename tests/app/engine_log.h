// What the app tests expect of Engine.log.
#pragma once

#include <string>
#include <vector>

// The log of a complete start, line by line.
extern const std::vector<std::string> completeLog;

// A text split at its line ends (the last line needs none).
std::vector<std::string> lines(const std::string& text);

// The last line of the working folder's Engine.log.
std::string lastLogLine();
