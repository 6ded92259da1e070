// Text helpers: trimming, case conversion and splitting of byte strings.
#pragma once

#include <string>
#include <vector>

namespace util {

// Blanks are exactly space, tab, line feed and carriage return.
std::string trim(const std::string& text);
std::string trim_left(const std::string& text);
std::string trim_right(const std::string& text);

std::string to_upper(std::string text);
std::string to_lower(std::string text);
void capitalize(std::string& text);  // first byte only, ASCII a..z

// Every piece between separators, empty ones included; an empty separator
// gives no pieces at all.
std::vector<std::string> explode(char separator, std::string text);
std::vector<std::string> explode(const std::string& separator, const std::string& text);

}  // namespace util
