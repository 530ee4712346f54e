#include "propfile/compound_file_check.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include <windows.h>

#include "framework/unique_resource.h"
#include "propfile/ansi_text.h"

namespace propfile {

namespace {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderDifatEntries = 109;

using Table = std::vector<uint32_t>;

uint32_t ReadU32(const std::string& bytes, std::size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

class CompoundFile {
public:
    explicit CompoundFile(const std::string& bytes) : bytes_(bytes) {}

    bool Check() {
        const uint32_t sectorShift = ReadU32(bytes_, 0x1E) & 0xFFFF;
        if (sectorShift != 9 && sectorShift != 12) return false;
        if ((ReadU32(bytes_, 0x20) & 0xFFFF) != 6) return false;
        sectorSize_ = std::size_t{1} << sectorShift;
        if (bytes_.size() < 2 * sectorSize_) return false;
        sectorCount_ = bytes_.size() / sectorSize_ - 1;  // sector 0 follows the header block
        Table directory, miniFat, miniStream;
        return ReadFat() && Chain(ReadU32(bytes_, 0x30), fat_, sectorCount_, directory) &&
               !directory.empty() && Chain(ReadU32(bytes_, 0x3C), fat_, sectorCount_, miniFat) &&
               CheckDirectory(directory, SectorsAsTable(miniFat));
    }

private:
    std::size_t SectorOffset(uint32_t sector) const { return (sector + 1) * sectorSize_; }
    std::size_t EntriesPerSector() const { return sectorSize_ / 4; }

    // Follows `start` through `table`: every link below `limit`, none twice.
    static bool Chain(uint32_t start, const Table& table, std::size_t limit, Table& chain) {
        std::vector<bool> seen(limit, false);
        for (uint32_t at = start; at != kEndOfChain; at = table[at]) {
            if (at >= limit || at >= table.size() || seen[at]) return false;
            seen[at] = true;
            chain.push_back(at);
        }
        return true;
    }

    Table SectorsAsTable(const Table& sectors) const {
        Table table;
        for (uint32_t sector : sectors) {
            for (std::size_t i = 0; i < EntriesPerSector(); ++i) {
                table.push_back(ReadU32(bytes_, SectorOffset(sector) + 4 * i));
            }
        }
        return table;
    }

    // The FAT sectors listed in the header and in the DIFAT chain.
    bool ReadFat() {
        const uint32_t fatSectors = ReadU32(bytes_, 0x2C);
        if (fatSectors > sectorCount_) return false;
        Table listed;
        for (std::size_t i = 0; i < kHeaderDifatEntries && listed.size() < fatSectors; ++i) {
            listed.push_back(ReadU32(bytes_, 0x4C + 4 * i));
        }
        std::vector<bool> seen(sectorCount_, false);
        for (uint32_t at = ReadU32(bytes_, 0x44); listed.size() < fatSectors;) {
            if (at >= sectorCount_ || seen[at]) return false;
            seen[at] = true;
            for (std::size_t i = 0; i + 1 < EntriesPerSector() && listed.size() < fatSectors; ++i) {
                listed.push_back(ReadU32(bytes_, SectorOffset(at) + 4 * i));
            }
            at = ReadU32(bytes_, SectorOffset(at) + 4 * (EntriesPerSector() - 1));
        }
        for (uint32_t sector : listed) {
            if (sector >= sectorCount_) return false;
        }
        fat_ = SectorsAsTable(listed);
        return true;
    }

    // Walks the tree from the root entry: every reference inside the
    // directory, no entry reached twice, every stream's chain sound.
    bool CheckDirectory(const Table& directorySectors, const Table& miniFat) {
        const std::size_t perSector = sectorSize_ / kDirectoryEntrySize;
        const std::size_t entryCount = directorySectors.size() * perSector;
        auto entryOffset = [&](uint32_t entry) {
            return SectorOffset(directorySectors[entry / perSector]) +
                   (entry % perSector) * kDirectoryEntrySize;
        };
        Table miniStream;
        if (!Chain(ReadU32(bytes_, entryOffset(0) + 0x74), fat_, sectorCount_, miniStream)) {
            return false;
        }
        const std::size_t miniSectors = miniStream.size() * (sectorSize_ / kMiniSectorSize);
        std::vector<bool> seen(entryCount, false);
        Table pending = {0};
        while (!pending.empty()) {
            const uint32_t entry = pending.back();
            pending.pop_back();
            if (entry == kNoEntry) continue;
            if (entry >= entryCount || seen[entry]) return false;
            seen[entry] = true;
            const std::size_t offset = entryOffset(entry);
            const uint8_t type = static_cast<uint8_t>(bytes_[offset + 0x42]);
            if (type == 2 && !CheckStream(offset, miniFat, miniSectors)) return false;
            if (entry != 0) {  // siblings; the root has none
                pending.push_back(ReadU32(bytes_, offset + 0x44));
                pending.push_back(ReadU32(bytes_, offset + 0x48));
            }
            if (type != 2) pending.push_back(ReadU32(bytes_, offset + 0x4C));
        }
        return true;
    }

    bool CheckStream(std::size_t entryOffset, const Table& miniFat, std::size_t miniSectors) const {
        const uint32_t start = ReadU32(bytes_, entryOffset + 0x74);
        const uint32_t size = ReadU32(bytes_, entryOffset + 0x78);
        Table chain;
        if (size == 0) return true;  // nothing is read
        if (size < kMiniStreamCutoff) {
            return Chain(start, miniFat, miniSectors, chain);
        }
        return Chain(start, fat_, sectorCount_, chain);
    }

    const std::string& bytes_;
    std::size_t sectorSize_ = 0;
    std::size_t sectorCount_ = 0;
    Table fat_;
};

}  // namespace

bool HasSoundCompoundStructure(const std::string& bytes) {
    if (bytes.compare(0, 8, kSignature, 8) != 0) return true;  // not ours to judge
    if (bytes.size() < kHeaderSize) return false;
    return CompoundFile(bytes).Check();
}

bool FileHasSoundCompoundStructure(const std::string& path) {
    const HANDLE opened = ::CreateFileW(WidenAnsi(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    const fw::UniqueHandle file = fw::AdoptFileHandle(opened);
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return true;
    std::string bytes(std::size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) {
        return true;
    }
    bytes.resize(read);
    return HasSoundCompoundStructure(bytes);
}

}  // namespace propfile
