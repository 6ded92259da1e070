// One value that remembers the kind it was last given (integer, real, text or
// truth) and converts to the other kinds on demand, caching each conversion.
#pragma once

#include <cstdint>
#include <string>

namespace util {

class variant {
public:
    variant();
    variant(int value);
    variant(double value);
    variant(bool value);
    variant(const std::string& value);
    variant(const char* value);

    variant& set(int value);
    variant& set(double value);
    variant& set(bool value);
    variant& set(const std::string& value);
    variant& set(const char* value);  // a null pointer counts as the empty text

    variant& operator=(int value) { return set(value); }
    variant& operator=(double value) { return set(value); }
    variant& operator=(bool value) { return set(value); }
    variant& operator=(const std::string& value) { return set(value); }
    variant& operator=(const char* value) { return set(value); }

    // Each conversion works from the kind last assigned, never from another
    // cached conversion, so the results do not depend on the order of calls.
    std::string as_string() const;
    int as_int() const;
    double as_double() const;
    bool as_bool() const;

private:
    enum kind : std::int32_t { integer_kind = 0, real_kind = 1, text_kind = 2, truth_kind = 3 };

    void assigned(kind k);

    mutable std::int32_t int_value = 0;
    mutable double double_value = 0.0;
    mutable std::string string_value;
    mutable bool bool_value = false;
    mutable bool valid[4] = {};
    std::int32_t type = integer_kind;
};

}  // namespace util
