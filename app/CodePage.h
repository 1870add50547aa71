// The shop's single-byte texts shown to a person: Windows-1250 ("Latinica") or
// Windows-1251 ("Cirilica"), converted only here, at the display edge.
#pragma once

#include <QString>
#include <string>

enum class CodePage { Latinica = 1250, Cirilica = 1251 };

QString decodeText(const std::string& bytes, CodePage cp);
// Characters the code page cannot hold become '?'.
std::string encodeText(const QString& text, CodePage cp);

// A plain ASCII text of the system's own (a number, a setting) as bytes.
std::string latin1Bytes(const QString& text);
