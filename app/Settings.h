// tarvela.ini: six KEY=value lines, each ending in CR LF.
#pragma once

#include <string>

struct Settings {
    int ComPortIndex = 0;      // ComboBox1
    int SpeedIndex = 1;        // ComboBox2
    int TipUredjajaIndex = 0;  // TipKase
    std::string IBFK = "000020";
    int JezikIndex = 0;        // ComboBox3
    std::string IBSA = "4071938265530817";
};

// Applies the file's content over `s` in the program's order. Keys are the text before the
// first "=", matched without regard to case; a missing key reads as empty. The first index
// that is not a whole number ends the reading silently, leaving the rest as they were.
void applyIni(const std::string& content, Settings& s);

std::string formatIni(const Settings& s);

// Text as a whole number (leading blanks and a sign allowed); false when it is not one.
bool parseInt(const std::string& text, int& value);
