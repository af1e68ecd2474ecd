#ifndef TESSIT_TOOLS_ATOMICOUTPUT_H
#define TESSIT_TOOLS_ATOMICOUTPUT_H

#include "KxFoundation/KxReplacement.h"

#include <cstdint>
#include <filesystem>

namespace Tessit {

// A packed launcher written whole beside its target (see KxReplacement),
// with the mode a linker gives its output, so that every user who may start
// it can also read it: the launcher reads its own file. Failures throw
// PackError; a failure at any point leaves the target as it was and
// nothing behind, parts a killed build left of the same target included.
class AtomicOutput {
public:
    explicit AtomicOutput(const std::filesystem::path& target);

    // Writes everything it is given, or fails.
    void write(const uint8_t* bytes, uint32_t count);
    // Forces the file to disk and closes it; it stays under its own name,
    // which is given, so that it can be read back before it is committed.
    const std::filesystem::path& finish();
    // Renames the finished file over the target.
    void commit();

private:
    std::filesystem::path m_target;
    Kavo::KxReplacement m_replacement;
    std::filesystem::path m_partPath;
};

} // namespace Tessit

#endif
