// Number and text conversions, the suffix-aware number parser and rounding.
#pragma once

#include <string>

namespace util {

std::string to_string(int value);     // "%i"
std::string to_string(double value);  // "%lf", six decimals
int to_int(const std::string& text);
double to_double(const std::string& text);

// Reads "1h30m", "250ms", "50%", "1.5k" and the like; a '-' anywhere negates
// the whole, unknown characters are skipped, and nothing is ever an error.
double parse_number(const std::string& text);

// A command line's whole number: all of `text` in decimal, within
// [least, most]. False, and `value` untouched, for anything else.
bool parse_whole(const std::string& text, long least, long most, long& value);

// Truncation toward zero; a value with no 32-bit counterpart (NaN, an
// infinity, anything out of range) gives 0 rather than undefined behaviour.
int truncate_to_int(double value);

double round(double x);  // floor(x + 0.5)

}  // namespace util
