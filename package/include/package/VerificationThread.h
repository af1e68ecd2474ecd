#ifndef TESSIT_PACKAGE_VERIFICATIONTHREAD_H
#define TESSIT_PACKAGE_VERIFICATIONTHREAD_H

#include "package/BlockVerification.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace Tessit {

// Each block taken into the digest on a thread of its own, while the reader
// reads and writes the next: the blocks are a ring, and a block handed over
// comes back to the reader once it was hashed. The ring is deep enough
// (32 blocks, some 16 MB) for the reader to copy on at the pace of memory
// while the digest falls behind, and for the digest to catch up while the
// reader waits at an entry's end for its flush to the device.
class VerificationThread final : public BlockVerification {
public:
    explicit VerificationThread(SignatureVerification& verification);
    VerificationThread(const VerificationThread&) = delete;
    VerificationThread& operator=(const VerificationThread&) = delete;
    ~VerificationThread();

    // Waits for the thread to be done with the ring's next block.
    uint8_t* nextBlock() override;
    void handOver(uint64_t offset, uint32_t count) override;
    SignatureCheck finish() override;

private:
    static constexpr uint64_t kBlocks = 32;
    struct Given {
        uint64_t offset = 0;
        uint32_t count = 0;
    };

    void hashBlocks();
    uint8_t* block(uint64_t slot) { return m_ring.get() + slot * COPY_CHUNK_SIZE; }

    SignatureVerification& m_verification;
    std::unique_ptr<uint8_t[]> m_ring; // left unfilled: a small package touches few of its pages
    std::array<Given, kBlocks> m_given;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_handedOver = 0;
    uint64_t m_hashed = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace Tessit

#endif
