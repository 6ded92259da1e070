// Any value of any kind through the variant's conversions: no crash, no
// undefined behaviour, and each conversion the same whatever came before it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/util.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

template <typename T>
T readValue(const std::uint8_t* bytes, std::size_t size) {
    T value{};
    std::memcpy(&value, bytes, size < sizeof value ? size : sizeof value);
    return value;
}

util::variant makeVariant(std::uint8_t kind, const std::uint8_t* bytes, std::size_t size) {
    switch (kind % 4) {
        case 0:
            return util::variant(readValue<int>(bytes, size));
        case 1:
            return util::variant(readValue<double>(bytes, size));
        case 2:
            return util::variant(std::string(reinterpret_cast<const char*>(bytes), size));
        default:
            return util::variant(size > 0 && (bytes[0] & 1) != 0);
    }
}

bool sameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) return 0;
    std::uint8_t kind = bytes[0], order = bytes[1];
    bytes += 2;
    size -= 2;

    // One variant converted in an order the input picks, one in a fixed order.
    util::variant mixed = makeVariant(kind, bytes, size);
    for (int step = 0; step < 4; ++step) {
        switch ((order >> (2 * step)) & 3) {
            case 0:
                mixed.as_string();
                break;
            case 1:
                mixed.as_int();
                break;
            case 2:
                mixed.as_double();
                break;
            default:
                mixed.as_bool();
                break;
        }
    }
    util::variant plain = makeVariant(kind, bytes, size);
    require(mixed.as_string() == plain.as_string());
    require(mixed.as_int() == plain.as_int());
    require(sameDouble(mixed.as_double(), plain.as_double()));
    require(mixed.as_bool() == plain.as_bool());
    require(mixed.as_string() == mixed.as_string());

    mixed.set(plain.as_string());
    require(mixed.as_string() == plain.as_string());
    return 0;
}
