// The variant's assignments and its lazy, cached conversions.
#include "util/variant.h"

#include <cmath>
#include <cstdio>

#include "util/numbers.h"
#include "util/text.h"

namespace util {

namespace {

constexpr std::size_t kFormatBuffer = 1024;

// snprintf never writes past the buffer; the longest double in "%lf" needs
// about 320 bytes, so nothing real is cut.
template <typename T>
std::string format(const char* pattern, T value) {
    char buffer[kFormatBuffer];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

bool isScanfSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// What sscanf("%d") would say about the start of the text, without its
// undefined behaviour on numbers too big for an int: true when an optionally
// signed run of digits follows any white space and one of them is not zero.
bool startsWithNonZeroInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isScanfSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (text[i] != '0') return true;
    }
    return false;
}

bool isTrueWord(const std::string& text) {
    std::string lower = to_lower(text);
    return lower == "yes" || lower == "true" || lower == "enabled";
}

}  // namespace

variant::variant() { set(0); }
variant::variant(int value) { set(value); }
variant::variant(double value) { set(value); }
variant::variant(bool value) { set(value); }
variant::variant(const std::string& value) { set(value); }
variant::variant(const char* value) { set(value); }

void variant::assigned(kind k) {
    type = k;
    for (int i = 0; i < 4; ++i) valid[i] = (i == k);
}

variant& variant::set(int value) {
    int_value = value;
    assigned(integer_kind);
    return *this;
}

variant& variant::set(double value) {
    double_value = value;
    assigned(real_kind);
    return *this;
}

variant& variant::set(bool value) {
    bool_value = value;
    assigned(truth_kind);
    return *this;
}

variant& variant::set(const std::string& value) {
    string_value = value;
    assigned(text_kind);
    return *this;
}

variant& variant::set(const char* value) { return set(std::string(value != nullptr ? value : "")); }

std::string variant::as_string() const {
    if (valid[text_kind]) return string_value;
    switch (type) {
        case integer_kind:
            string_value = format("%i", int_value);
            break;
        case real_kind:
            string_value = format("%lf", double_value);
            break;
        default:
            string_value = bool_value ? "yes" : "no";
            break;
    }
    valid[text_kind] = true;
    return string_value;
}

int variant::as_int() const {
    if (valid[integer_kind]) return int_value;
    switch (type) {
        case real_kind:
            int_value = truncate_to_int(double_value);
            break;
        case text_kind:
            int_value = truncate_to_int(parse_number(string_value));
            break;
        default:
            int_value = bool_value ? 0 : -1;
            break;
    }
    valid[integer_kind] = true;
    return int_value;
}

double variant::as_double() const {
    if (valid[real_kind]) return double_value;
    switch (type) {
        case integer_kind:
            double_value = int_value;
            break;
        case text_kind:
            double_value = parse_number(string_value);
            break;
        default:
            double_value = bool_value ? 0.0 : 1.0;
            break;
    }
    valid[real_kind] = true;
    return double_value;
}

bool variant::as_bool() const {
    if (valid[truth_kind]) return bool_value;
    switch (type) {
        case integer_kind:
            bool_value = int_value != 0;
            break;
        case real_kind:
            bool_value = double_value != 0.0 && !std::isnan(double_value);
            break;
        default:
            bool_value = isTrueWord(string_value) || startsWithNonZeroInteger(string_value);
            break;
    }
    valid[truth_kind] = true;
    return bool_value;
}

}  // namespace util
