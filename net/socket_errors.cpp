// Turns errno into the text that the socket exceptions carry.
#include "net/socket_errors.h"

#include <string.h>
#include <cerrno>
#include <cstdio>

#include "util/util.h"

namespace {
char errorText[1024];
}

const char* lastErrorText() {
    const int code = errno;
    // strerrordesc_np gives no text for codes the system does not know,
    // where strerror would invent one in its own words.
    if (const char* text = strerrordesc_np(code)) {
        std::snprintf(errorText, sizeof errorText, "%s", util::trim(text).c_str());
    } else {
        std::snprintf(errorText, sizeof errorText, "Unknown error %i", code);
    }
    return errorText;
}
