#include "package/VerificationThread.h"

namespace Tessit {

VerificationThread::VerificationThread(SignatureVerification& verification)
    : m_verification(verification), m_ring(new uint8_t[kBlocks * COPY_CHUNK_SIZE])
{
    m_thread = std::thread([this] { hashBlocks(); });
}

VerificationThread::~VerificationThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

uint8_t* VerificationThread::nextBlock()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_handedOver - m_hashed < kBlocks; });
    return block(m_handedOver % kBlocks);
}

void VerificationThread::handOver(uint64_t offset, uint32_t count)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_given[m_handedOver % kBlocks] = {offset, count};
        ++m_handedOver;
    }
    m_changed.notify_all();
}

SignatureCheck VerificationThread::finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_hashed == m_handedOver; });
    return m_verification.finish();
}

void VerificationThread::hashBlocks()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_hashed < m_handedOver || m_stopping; });
        if (m_hashed == m_handedOver)
            return;
        const uint64_t slot = m_hashed % kBlocks;
        const Given given = m_given[slot];
        lock.unlock();
        m_verification.add(given.offset, block(slot), given.count);
        lock.lock();
        ++m_hashed;
        m_changed.notify_all();
    }
}

} // namespace Tessit
