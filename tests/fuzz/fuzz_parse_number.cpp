// Any bytes through the number parser and the text helpers: no crash, no
// undefined behaviour, and the few properties that must hold for every text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/util.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool isBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);

    double value = util::parse_number(text);
    require(!std::isnan(value));
    require(util::to_int(text) == util::truncate_to_int(value));
    if (text.find('-') == std::string::npos) require(util::parse_number("-" + text) == -value);

    std::string trimmed = util::trim(text);
    require(trimmed.empty() || (!isBlank(trimmed.front()) && !isBlank(trimmed.back())));
    require(trimmed == util::trim_left(util::trim_right(text)));

    std::string joined;
    for (const std::string& piece : util::explode(',', text)) joined += piece + ",";
    require(joined == text + ",");
    return 0;
}
