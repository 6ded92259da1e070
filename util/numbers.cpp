// Conversions through the variant, the suffix-aware number parser, rounding.
#include "util/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "util/variant.h"

namespace util {

namespace {

// The effect of a suffix letter on the number just read, or false when the
// character is no suffix. An m followed by a lower-case s means milliseconds.
bool applySuffix(const std::string& text, std::size_t& i, double& current) {
    char ch = text[i];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    switch (ch) {
        case 's':
            return true;
        case '%':
            current /= 100.0;
            return true;
        case 'k':
            current *= 1000.0;
            return true;
        case 'h':
            current *= 3600.0;
            return true;
        case 'd':
            current *= 86400.0;
            return true;
        case 'm':
            if (i + 1 < text.size() && text[i + 1] == 's') {
                current /= 1000.0;
                ++i;
            } else {
                current *= 60.0;
            }
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string to_string(int value) { return variant(value).as_string(); }
std::string to_string(double value) { return variant(value).as_string(); }
int to_int(const std::string& text) { return variant(text).as_int(); }
double to_double(const std::string& text) { return variant(text).as_double(); }

double parse_number(const std::string& text) {
    double total = 0.0, current = 0.0, step = 0.1;
    bool inFraction = false, negative = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (ch == '-') {
            negative = true;
        } else if (applySuffix(text, i, current)) {
            total += current;
            current = 0.0;
            step = 0.1;
            inFraction = false;
        } else if (ch >= '0' && ch <= '9') {
            int digit = ch - '0';
            if (inFraction) {
                current += digit * step;
                step /= 10.0;
            } else {
                current = current * 10.0 + digit;
            }
        } else if (ch == '.') {
            step = 0.1;
            inFraction = true;
        }
    }
    total += current;
    return negative ? -total : total;
}

bool parse_whole(const std::string& text, long least, long most, long& value) {
    // strtol would also take leading blanks and a plus sign.
    if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) return false;
    errno = 0;
    char* end = nullptr;
    const long read = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || read < least || read > most)
        return false;
    value = read;
    return true;
}

int truncate_to_int(double value) {
    // The comparisons fail for NaN as well, which sends it to 0 too.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
    return static_cast<int>(value);
}

double round(double x) { return std::floor(x + 0.5); }

}  // namespace util
