// Mutated object property files for the fuzz run: each one is made from its
// seed and index alone, so a run resumed at any index, or one file of it,
// comes out the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

namespace fuzz {

// What the starting files name: a registered control and its version.
struct Corpus {
    CLSID control{};
    std::string controlVersion;
};

// How a file was made, for the report of a crash or a hang.
enum class MutationKind {
    values,  // well-formed compound file with mutated values and layout
    bytes,   // the bytes of a compound file mutated (mostly broken files)
};

// Writes file number `index` of the run `seed` to `path`; its kind.
MutationKind WriteMutatedFile(const Corpus& corpus, std::uint64_t seed, std::uint64_t index,
                              const std::string& path);

}  // namespace fuzz
