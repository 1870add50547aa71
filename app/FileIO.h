#pragma once

#include <string>

// Whole-file reads and writes that say why they failed (errno in `err`).
bool readWholeFile(const std::string& path, std::string& content, int& err);
bool writeWholeFile(const std::string& path, const std::string& content, int& err);
