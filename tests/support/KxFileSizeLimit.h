#ifndef TESSIT_TESTS_KXFILESIZELIMIT_H
#define TESSIT_TESTS_KXFILESIZELIMIT_H

#include <csignal>
#include <sys/resource.h>

namespace Kavo {

// Writes beyond `bytes` into any file fail (EFBIG) instead of raising
// SIGXFSZ, for as long as the guard lives; programs started meanwhile
// inherit both. A target that takes only part of its bytes, as on a filling
// file system.
class KxFileSizeLimit {
public:
    explicit KxFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    KxFileSizeLimit(const KxFileSizeLimit&) = delete;
    KxFileSizeLimit& operator=(const KxFileSizeLimit&) = delete;
    ~KxFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace Kavo

#endif
