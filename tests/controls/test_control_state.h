// The persisted state of a test control and its byte format, shared by the
// controls (IPersistStreamInit) and by tests that write a property file's
// "Contents" stream.
//
// Format, all little-endian:
//   4 bytes   "TCS1"
//   uint32    caption length in UTF-16 code units, then the code units
//   uint32    start request URL length in UTF-16 code units, then the units
//   int32     start request id
// A string may hold at most kMaxStateStringLength code units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace test_controls {

struct ControlState {
    std::wstring caption;
    std::wstring startRequestUrl;
    int32_t startRequestId = 0;
    bool operator==(const ControlState&) const = default;
};

inline constexpr uint32_t kMaxStateStringLength = 4096;

std::string EncodeControlState(const ControlState& state);
// The state at the start of `bytes` and the number of bytes it took, or
// nothing when the bytes are short, lack the mark or hold an overlong string.
struct DecodedState {
    ControlState state;
    size_t size = 0;
};
std::optional<DecodedState> DecodeControlState(std::string_view bytes);

}  // namespace test_controls
