#include "propfile/header_value.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace propfile {

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string ValueFromBytes(const char* bytes, std::size_t count) {
    return std::string(bytes, std::find(bytes, bytes + count, '\0'));
}

int32_t ParseInteger(const char* text) {
    if (!text) return 0;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    const std::string_view value(text);
    auto at = std::find_if_not(value.begin(), value.end(), IsCSpace);
    bool negative = false;
    if (at != value.end() && (*at == '+' || *at == '-')) negative = *at++ == '-';
    int64_t magnitude = 0;
    for (; at != value.end() && *at >= '0' && *at <= '9'; ++at) {
        magnitude = std::min(magnitude * 10 + (*at - '0'), kMax + 1);
    }
    return static_cast<int32_t>(std::clamp(negative ? -magnitude : magnitude, kMin, kMax));
}

bool ParseHeaderFlag(const std::string& value) { return value == "TRUE"; }

}  // namespace propfile
