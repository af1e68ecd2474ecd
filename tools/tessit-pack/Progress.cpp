#include "Progress.h"

#include "Console.h"

#include <cstdio>
#include <string>

namespace Tessit {

namespace {

constexpr uint64_t kShownFromBytes = uint64_t(64) << 20;
constexpr int kBarWidth = 40;

} // namespace

Progress::Progress(uint64_t totalBytes)
    : m_total(totalBytes), m_visible(totalBytes > kShownFromBytes && standardErrorIsTerminal())
{
}

Progress::~Progress()
{
    if (m_visible && m_shownPercent >= 0)
        std::fputc('\n', stderr);
}

void Progress::advance(uint64_t bytes)
{
    m_done += bytes;
    if (m_visible)
        draw();
}

void Progress::draw()
{
    const int percent = int(m_done * 100 / m_total);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), ' ');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

} // namespace Tessit
