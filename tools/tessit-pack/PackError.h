#ifndef TESSIT_TOOLS_PACKERROR_H
#define TESSIT_TOOLS_PACKERROR_H

#include "PathText.h"

#include <filesystem>
#include <stdexcept>
#include <string>

namespace Tessit {

// A failure the packer reports as one line and a non-zero exit code.
class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
    // What is wrong with `file`, after its name.
    PackError(const std::filesystem::path& file, const std::string& problem) : PackError(utf8Of(file) + ": " + problem)
    {
    }
};

} // namespace Tessit

#endif
