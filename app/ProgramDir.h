#pragma once

#include <string>

// The folder of the running program, with its trailing separator.
std::string programDirectory();

// DIR given on the command line, with a trailing separator added when it lacks one.
std::string asDirectory(std::string dir);
