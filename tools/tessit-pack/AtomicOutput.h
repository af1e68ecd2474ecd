#ifndef TESSIT_TOOLS_ATOMICOUTPUT_H
#define TESSIT_TOOLS_ATOMICOUTPUT_H

#include "KxFoundation/KxFile.h"

#include <cstdint>
#include <filesystem>

namespace Tessit {

// A file written whole under a name of its own beside its target, which
// takes the target's place only once it is complete: a failure at any point
// leaves the target as it was and nothing behind.
class AtomicOutput {
public:
    explicit AtomicOutput(const std::filesystem::path& target);
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    // Removes the file unless it was committed.
    ~AtomicOutput();

    // Writes everything it is given, or fails.
    void write(const uint8_t* bytes, uint32_t count);
    // Forces the file to disk and closes it; it stays under its own name,
    // which is given, so that it can be read back before it is committed.
    const std::filesystem::path& finish();
    // Marks the finished file runnable and renames it over the target.
    void commit(const std::filesystem::path& target);

private:
    std::filesystem::path m_path;
    Kavo::KxFile m_file;
};

} // namespace Tessit

#endif
