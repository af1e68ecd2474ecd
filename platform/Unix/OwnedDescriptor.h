#ifndef TESSIT_PLATFORM_UNIX_OWNEDDESCRIPTOR_H
#define TESSIT_PLATFORM_UNIX_OWNEDDESCRIPTOR_H

#include <unistd.h>

namespace Tessit {

// A file descriptor closed when it goes out of scope; -1 holds none.
class OwnedDescriptor {
public:
    explicit OwnedDescriptor(int value) : m_value(value) {}
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    ~OwnedDescriptor()
    {
        if (m_value != -1)
            ::close(m_value);
    }
    int get() const { return m_value; }

private:
    int m_value;
};

} // namespace Tessit

#endif
