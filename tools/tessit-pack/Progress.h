#ifndef TESSIT_TOOLS_PROGRESS_H
#define TESSIT_TOOLS_PROGRESS_H

#include <cstdint>

namespace Tessit {

// A bar on standard error, drawn only on a terminal and only for inputs
// large enough to take a while.
class Progress {
public:
    explicit Progress(uint64_t totalBytes);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    void advance(uint64_t bytes);

private:
    void draw();

    uint64_t m_total;
    uint64_t m_done = 0;
    int m_shownPercent = -1;
    bool m_visible;
};

} // namespace Tessit

#endif
