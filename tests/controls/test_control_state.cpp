#include "test_control_state.h"

namespace test_controls {
namespace {

constexpr std::string_view kMark = "TCS1";

void PutUint32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(char((value >> shift) & 0xFF));
}

void PutString(std::string& out, const std::wstring& text) {
    PutUint32(out, uint32_t(text.size()));
    for (wchar_t unit : text) {
        out.push_back(char(unit & 0xFF));
        out.push_back(char((unit >> 8) & 0xFF));
    }
}

// Reads from a view, refusing to run past its end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::optional<uint32_t> Uint32() {
        if (bytes_.size() - offset_ < 4) return std::nullopt;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= uint32_t(uint8_t(bytes_[offset_ + i])) << (8 * i);
        offset_ += 4;
        return value;
    }
    std::optional<std::wstring> String() {
        auto length = Uint32();
        if (!length || *length > kMaxStateStringLength) return std::nullopt;
        if ((bytes_.size() - offset_) / 2 < *length) return std::nullopt;
        std::wstring text;
        for (uint32_t i = 0; i < *length; ++i, offset_ += 2)
            text.push_back(wchar_t(uint8_t(bytes_[offset_]) | (uint8_t(bytes_[offset_ + 1]) << 8)));
        return text;
    }
    bool Mark() {
        if (bytes_.substr(0, kMark.size()) != kMark) return false;
        offset_ = kMark.size();
        return true;
    }
    size_t offset() const { return offset_; }

private:
    std::string_view bytes_;
    size_t offset_ = 0;
};

}  // namespace

std::string EncodeControlState(const ControlState& state) {
    std::string out(kMark);
    PutString(out, state.caption);
    PutString(out, state.startRequestUrl);
    PutUint32(out, uint32_t(state.startRequestId));
    return out;
}

std::optional<DecodedState> DecodeControlState(std::string_view bytes) {
    Reader reader(bytes);
    if (!reader.Mark()) return std::nullopt;
    DecodedState decoded;
    auto caption = reader.String();
    if (!caption) return std::nullopt;
    auto url = reader.String();
    if (!url) return std::nullopt;
    auto id = reader.Uint32();
    if (!id) return std::nullopt;
    decoded.state = {std::move(*caption), std::move(*url), int32_t(*id)};
    decoded.size = reader.offset();
    return decoded;
}

}  // namespace test_controls
