// String and file-name helpers.
#pragma once

#include <string>
#include <vector>

namespace vek {

// 1-based position of S among List[0..High] (exact comparison), 0 when absent.
int StringIx(const std::string& S, const std::string List[], int High);
int StringIx(const std::string& S, const std::vector<std::string>& List, int High);

// Both '/' and '\' separate directories.
std::string StripPath(const std::string& Name);       // "C:\maps\world.db" -> "world.db"
std::string StripExtension(const std::string& Name);  // "C:\maps\world.db" -> "C:\maps\world"

// S without the characters an 8.3 file name may not hold: keeps ASCII letters and digits,
// ! # $ % & ' ( ) - @ ^ _ ` { } ~, the dot and bytes from 0x80 on (so UTF-8 letters stay
// whole). Blanks, path separators, ':' and control characters go.
std::string ReduceStringToFN83CompliantChars(const std::string& S);

// The lines of a text, split at CR LF, LF or a lone CR (old Mac files), without their ends.
std::vector<std::string> SplitTextLines(const std::string& Text);

// True when S, blanks around it aside, is exactly one finite number ("+1.5", "-2e3"); "0.5abc",
// "10.25.5" and "50,75" are not.
bool ParseExactNumber(const std::string& S, double& Value);

}  // namespace vek
