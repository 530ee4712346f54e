#include "opftool/szdd_writer.h"

#include <algorithm>
#include <cstddef>

namespace opftool {

namespace {

constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kStartOffset = 16;  // the window is written from 4096 - 16 on
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMaxDistance = kWindowSize - 1;
constexpr int kChainSteps = 256;  // how far back one search looks; bounds the time
constexpr std::size_t kHashBits = 14;

// The data as the expander sees it: a window of spaces, then the data. A
// position p of this stream sits at window position (p - 16) mod 4096.
class MatchFinder {
public:
    explicit MatchFinder(std::span<const std::uint8_t> data)
        : stream_(kWindowSize, ' '), head_(std::size_t{1} << kHashBits, -1) {
        stream_.insert(stream_.end(), data.begin(), data.end());
        previous_.assign(stream_.size(), -1);
        for (std::size_t p = 0; p < kWindowSize; ++p) Insert(p);
    }

    std::size_t size() const { return stream_.size(); }
    std::uint8_t at(std::size_t p) const { return stream_[p]; }

    // The longest earlier occurrence of the text at `p` within reach:
    // {source, length}, length 0 when none is worth a reference.
    std::pair<std::size_t, std::size_t> Longest(std::size_t p) const {
        const std::size_t limit = std::min(kMaxMatch, stream_.size() - p);
        std::size_t bestLength = 0;
        std::size_t bestSource = 0;
        if (limit < kMinMatch) return {0, 0};
        int steps = kChainSteps;
        for (std::ptrdiff_t candidate = head_[Hash(p)];
             candidate >= 0 && steps-- > 0 && p - static_cast<std::size_t>(candidate) <= kMaxDistance;
             candidate = previous_[candidate]) {
            const auto source = static_cast<std::size_t>(candidate);
            std::size_t length = 0;
            // Overlapping references are fine: the expander copies byte by byte.
            while (length < limit && stream_[source + length] == stream_[p + length]) ++length;
            if (length > bestLength) {
                bestLength = length;
                bestSource = source;
                if (length == limit) break;
            }
        }
        if (bestLength < kMinMatch) return {0, 0};
        return {bestSource, bestLength};
    }

    void Insert(std::size_t p) {
        if (p + 2 >= stream_.size()) return;
        const std::size_t hash = Hash(p);
        previous_[p] = head_[hash];
        head_[hash] = static_cast<std::ptrdiff_t>(p);
    }

private:
    std::size_t Hash(std::size_t p) const {
        return ((std::size_t{stream_[p]} << 8) ^ (std::size_t{stream_[p + 1]} << 4) ^
                stream_[p + 2]) &
               ((std::size_t{1} << kHashBits) - 1);
    }

    std::vector<std::uint8_t> stream_;
    std::vector<std::ptrdiff_t> head_;
    std::vector<std::ptrdiff_t> previous_;
};

// Collects tokens in groups of eight behind their flag byte.
class TokenWriter {
public:
    explicit TokenWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void Literal(std::uint8_t byte) {
        StartToken(true);
        out_.push_back(byte);
    }
    void Reference(std::size_t windowPosition, std::size_t length) {
        StartToken(false);
        out_.push_back(static_cast<std::uint8_t>(windowPosition & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(((windowPosition >> 4) & 0xF0) |
                                                 (length - kMinMatch)));
    }

private:
    void StartToken(bool literal) {
        if (count_ == 8) count_ = 0;
        if (count_ == 0) {
            flagIndex_ = out_.size();
            out_.push_back(0);
        }
        if (literal) out_[flagIndex_] |= static_cast<std::uint8_t>(1u << count_);
        ++count_;
    }

    std::vector<std::uint8_t>& out_;
    std::size_t flagIndex_ = 0;
    int count_ = 0;
};

}  // namespace

std::vector<std::uint8_t> CompressSzdd(std::span<const std::uint8_t> data, char missingCharacter) {
    std::vector<std::uint8_t> out = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A',
                                     static_cast<std::uint8_t>(missingCharacter)};
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(length >> shift));

    MatchFinder finder(data);
    TokenWriter tokens(out);
    std::size_t p = kWindowSize;
    while (p < finder.size()) {
        const auto [source, matched] = finder.Longest(p);
        const std::size_t step = matched ? matched : 1;
        if (matched) {
            tokens.Reference((source - kStartOffset) % kWindowSize, matched);
        } else {
            tokens.Literal(finder.at(p));
        }
        for (std::size_t i = 0; i < step; ++i) finder.Insert(p + i);
        p += step;
    }
    return out;
}

}  // namespace opftool
