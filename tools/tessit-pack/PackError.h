#ifndef TESSIT_TOOLS_PACKERROR_H
#define TESSIT_TOOLS_PACKERROR_H

#include <stdexcept>
#include <string>

namespace Tessit {

// A failure the packer reports as one line and a non-zero exit code.
class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace Tessit

#endif
