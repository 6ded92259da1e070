// Trimming, case conversion and splitting of byte strings.
#include "util/text.h"

#include <cctype>

namespace util {

namespace {

constexpr const char* kBlanks = " \t\n\r";

}  // namespace

std::string trim(const std::string& text) { return trim_left(trim_right(text)); }

std::string trim_left(const std::string& text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string trim_right(const std::string& text) {
    std::size_t last = text.find_last_not_of(kBlanks);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// The character functions take unsigned char values; a plain char above 127
// would be negative and undefined there.
std::string to_upper(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

std::string to_lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

void capitalize(std::string& text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
}

std::vector<std::string> explode(char separator, std::string text) {
    return explode(std::string(1, separator), text);
}

std::vector<std::string> explode(const std::string& separator, const std::string& text) {
    std::vector<std::string> pieces;
    if (separator.empty()) return pieces;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

}  // namespace util
