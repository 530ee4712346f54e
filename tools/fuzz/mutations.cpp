#include "mutations.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <random>

#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "propfile/property_file_layout.h"
#include "test_control_state.h"

namespace fuzz {
namespace {

using Random = std::mt19937_64;

std::size_t Pick(Random& random, std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}

bool Chance(Random& random, double probability) {
    return std::bernoulli_distribution(probability)(random);
}

// Every byte value but 0x98: the test bench's gdi32 (Wine) crashes drawing
// U+02DC, which that byte is in code page 1252, in an edit box, such as the
// download warning's. Windows draws it; the fuzz run is about the plug-in.
char AnyByte(Random& random) {
    const auto byte = static_cast<unsigned char>(Pick(random, 255));
    return static_cast<char>(byte >= 0x98 ? byte + 1 : byte);
}

char Displayable(char byte) { return byte == '\x98' ? '\x97' : byte; }

std::string RandomBytes(Random& random, std::size_t length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) c = AnyByte(random);
    return bytes;
}

// Lengths around the limits the reader and the platform care about.
std::size_t InterestingLength(Random& random) {
    static constexpr std::array<std::size_t, 12> kLengths = {0,   1,   2,   127, 128, 254,
                                                            255, 256, 257, 511, 512, 4097};
    return Chance(random, 0.5) ? kLengths[Pick(random, kLengths.size())] : Pick(random, 700);
}

std::string InterestingText(Random& random) {
    static const std::array<std::string, 16> kTexts = {
        "", "TRUE", "true", "-1", "2147483648", "99999999999999999999", "0x10", "  42abc",
        "clock.oc_", "../../../clock.oc_", "http://host/clock.oc_", "C:\\windows\\clock.oc_",
        "file:///C:/clock.oc_", "http:clock", "1, 0, 0, 1", "%SystemRoot%\\x.oc_"};
    switch (Pick(random, 3)) {
    case 0: return kTexts[Pick(random, kTexts.size())];
    case 1: return std::string(InterestingLength(random), static_cast<char>('A' + Pick(random, 26)));
    default: return RandomBytes(random, InterestingLength(random));
    }
}

// The starting points: a registered control with its saved state, a missing
// control that would be offered for download, and one without an address.
opftool::PropertyFileContent StartingContent(const Corpus& corpus, std::size_t which) {
    opftool::PropertyFileContent content;
    content.browserVersion = "1.0";
    content.headers = {{"Product Name", "Fuzz"}, {"Company Name", "Fuzz Works"},
                       {"Product Version", corpus.controlVersion}, {"IsCompressed", "TRUE"},
                       {"Width", "200"}, {"Height", "100"}};
    if (which == 0) {
        content.clsid = corpus.control;
        // Past the mini stream: both kinds of sector chains are read.
        content.contents = test_controls::EncodeControlState({L"Fuzz", L"", 0}) + std::string(5000, 's');
    } else {
        content.clsid = {0x5F0A2E61, 0x1D4B, 0x4C83, {0x9E, 0x20, 0x7A, 0x11, 0x6B, 0x2D, 0x4F, 0x90}};
    }
    if (which != 2) content.headers.emplace_back("Filename Url", "clock.oc_");
    return content;
}

std::size_t PickStart(Random& random) {
    const double draw = std::uniform_real_distribution<double>(0, 1)(random);
    return draw < 0.6 ? 0 : draw < 0.75 ? 1 : 2;  // offers are answered, and cost time
}

void MutateValues(Random& random, opftool::PropertyFileContent& content) {
    switch (Pick(random, 6)) {
    case 0:
    case 1: {  // a header value, known or not
        const std::size_t known = std::size(propfile::kHeaderFields);
        const std::size_t field = Pick(random, known + 1);
        const std::string key = field < known ? propfile::kHeaderFields[field].key
                                              : std::string("Unknown ") + std::to_string(field);
        auto found = std::find_if(content.headers.begin(), content.headers.end(),
                                  [&](const auto& header) { return header.first == key; });
        if (found != content.headers.end() && Chance(random, 0.2)) {
            content.headers.erase(found);
        } else if (found != content.headers.end()) {
            found->second = InterestingText(random);
        } else {
            content.headers.emplace_back(key, InterestingText(random));
        }
        break;
    }
    case 2: {  // the saved state
        std::string& bytes = content.contents;
        switch (Pick(random, 4)) {
        case 0: bytes = RandomBytes(random, InterestingLength(random)); break;
        case 1: bytes.resize(Pick(random, bytes.size() + 1)); break;
        case 2:
            if (!bytes.empty()) {
                char& byte = bytes[Pick(random, bytes.size())];
                byte = Displayable(static_cast<char>(byte ^ (1 << Pick(random, 8))));
            }
            break;
        default: bytes += RandomBytes(random, Pick(random, 64)); break;
        }
        break;
    }
    case 3:  // the class
        if (Chance(random, 0.5)) {
            content.clsid = CLSID_NULL;
        } else {
            const std::string bytes = RandomBytes(random, sizeof(CLSID));
            std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(&content.clsid));
        }
        break;
    case 4:
        content.browserVersion =
            Chance(random, 0.3) ? std::nullopt : std::optional<std::string>(InterestingText(random));
        break;
    default:  // values without their terminating zero, or with zeros inside
        for (auto& header : content.headers) {
            if (Chance(random, 0.3)) header.second.insert(Pick(random, header.second.size() + 1), 1, '\0');
        }
        break;
    }
}

// Layout changes the builder would never make: missing or misplaced parts.
void MutateLayout(Random& random, opftool::StorageNode& root) {
    std::vector<opftool::StorageNode*> storages = {&root};
    for (auto& child : root.storages) storages.push_back(&child);
    opftool::StorageNode& node = *storages[Pick(random, storages.size())];
    switch (Pick(random, 5)) {
    case 0:
        if (!node.streams.empty()) node.streams.erase(node.streams.begin() + Pick(random, node.streams.size()));
        break;
    case 1:
        if (!node.storages.empty()) node.storages.erase(node.storages.begin() + Pick(random, node.storages.size()));
        break;
    case 2:  // a stream turned into a storage of the same name
        if (!node.streams.empty()) {
            const std::size_t at = Pick(random, node.streams.size());
            node.storages.push_back({node.streams[at].first, std::nullopt, {}, {}});
            node.streams.erase(node.streams.begin() + at);
        }
        break;
    case 3:  // a storage turned into a stream of the same name
        if (!node.storages.empty()) {
            const std::size_t at = Pick(random, node.storages.size());
            node.streams.emplace_back(node.storages[at].name, RandomBytes(random, Pick(random, 40)));
            node.storages.erase(node.storages.begin() + at);
        }
        break;
    default:
        node.classId = std::nullopt;
        break;
    }
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void PutDword(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Damage to a compound file: its header (the first 512 bytes) is hit more
// often than the rest, with the values its chains and counts use.
void MutateBytes(Random& random, std::string& bytes) {
    static constexpr std::array<std::uint32_t, 14> kDwords = {
        0, 1, 2, 3, 0x7F, 0x1000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE,
        0xFFFFFFFD, 0xFFFFFFFC, 0xFFFFFFFA, 0x0000FFFF};
    const int count = 1 + static_cast<int>(Pick(random, 8));
    for (int i = 0; i < count && !bytes.empty(); ++i) {
        const std::size_t limit = Chance(random, 0.4) ? std::min<std::size_t>(512, bytes.size()) : bytes.size();
        const std::size_t at = Pick(random, limit);
        switch (Pick(random, 7)) {
        case 0: bytes[at] = Displayable(static_cast<char>(bytes[at] ^ (1 << Pick(random, 8)))); break;
        case 1: bytes[at] = AnyByte(random); break;
        case 2: PutDword(bytes, at & ~std::size_t{3}, kDwords[Pick(random, kDwords.size())]); break;
        case 3: bytes.resize(at); break;
        case 4: bytes += RandomBytes(random, Pick(random, 1024)); break;
        case 5: {  // a sector's worth of zeros
            const std::size_t sector = at & ~std::size_t{511};
            std::fill(bytes.begin() + sector, bytes.begin() + std::min(bytes.size(), sector + 512), '\0');
            break;
        }
        default: {  // one sector copied over another
            const std::size_t from = Pick(random, bytes.size()) & ~std::size_t{511};
            const std::size_t to = at & ~std::size_t{511};
            const std::size_t length = std::min({std::size_t{512}, bytes.size() - from, bytes.size() - to});
            std::copy_n(bytes.begin() + from, length, bytes.begin() + to);
            break;
        }
        }
    }
}

}  // namespace

MutationKind WriteMutatedFile(const Corpus& corpus, std::uint64_t seed, std::uint64_t index,
                              const std::string& path) {
    Random random(seed * 0x9E3779B97F4A7C15ULL + index);
    opftool::PropertyFileContent content = StartingContent(corpus, PickStart(random));
    const bool valuesOnly = Chance(random, 0.35);
    if (valuesOnly) {
        const int count = 1 + static_cast<int>(Pick(random, 4));
        for (int i = 0; i < count; ++i) MutateValues(random, content);
    }
    opftool::StorageNode root = opftool::BuildPropertyFile(content);
    if (valuesOnly && Chance(random, 0.25)) MutateLayout(random, root);
    if (FAILED(opftool::WriteCompoundFile(path, root))) {
        opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content));
    }
    if (valuesOnly) return MutationKind::values;
    std::string bytes = ReadFileBytes(path);
    MutateBytes(random, bytes);
    WriteFileBytes(path, bytes);
    return MutationKind::bytes;
}

}  // namespace fuzz
