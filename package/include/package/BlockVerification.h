#ifndef TESSIT_PACKAGE_BLOCKVERIFICATION_H
#define TESSIT_PACKAGE_BLOCKVERIFICATION_H

#include "package/SignatureCheck.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Tessit {

// Feeds a signature verification the blocks of the file a reader reads once,
// in file order: the reader reads into the block nextBlock gives, of
// COPY_CHUNK_SIZE bytes, and hands it over; the block stays readable until
// the reader asks for the next one. Used by one reader thread.
class BlockVerification {
public:
    virtual ~BlockVerification() = default;

    virtual uint8_t* nextBlock() = 0;
    // Hands over the block nextBlock gave: the file's `count` bytes at `offset`.
    virtual void handOver(uint64_t offset, uint32_t count) = 0;
    // The verdict, once every block handed over was taken in.
    virtual SignatureCheck finish() = 0;
};

// Each block taken into the digest as it is handed over, on the reader's
// own thread.
class InlineVerification final : public BlockVerification {
public:
    explicit InlineVerification(SignatureVerification& verification);

    uint8_t* nextBlock() override { return m_block.data(); }
    void handOver(uint64_t offset, uint32_t count) override;
    SignatureCheck finish() override { return m_verification.finish(); }

private:
    SignatureVerification& m_verification;
    std::vector<uint8_t> m_block;
};

// How the launcher on this system feeds its verification.
std::unique_ptr<BlockVerification> hostBlockVerification(SignatureVerification& verification);

} // namespace Tessit

#endif
