#include "KxMemoryArchive.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxException.h"
#include "KxFoundation/KxMemoryStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace Kavo;

namespace {

struct StreamSetup {
    uint32_t size;
    bool growable;
    uint32_t maxSize;
    bool zeroFill;
    uint32_t growStep;
};

std::vector<uint8_t> contentOf(const KxMemoryStream& stream)
{
    return std::vector<uint8_t>(stream.buffer(), stream.buffer() + stream.length());
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

void writeText(KxStream& stream, const std::string& text)
{
    stream.write(text.data(), static_cast<uint32_t>(text.size()));
}

// What a failed operation must leave exactly as it was.
struct StreamState {
    const uint8_t* buffer;
    uint32_t capacity;
    uint32_t length;
    uint32_t position;

    explicit StreamState(const KxMemoryStream& stream)
        : buffer(stream.buffer()), capacity(stream.capacity()), length(stream.length()), position(stream.position())
    {
    }
    bool operator==(const StreamState& other) const
    {
        return buffer == other.buffer && capacity == other.capacity && length == other.length &&
               position == other.position;
    }
};

template <typename Exception, typename Operation>
Exception raisedBy(Operation operation)
{
    try {
        operation();
    } catch (const Exception& exception) {
        return exception;
    }
    ADD_FAILURE() << "nothing was raised";
    return Exception(u"", {});
}

// Hooks that count their calls; allocation can be told to fail from a given
// call on, either by throwing or by returning null.
struct HookLog {
    static inline int allocations = 0;
    static inline int releases = 0;
    static inline int copies = 0;
    static inline int failFrom = -1;
    static inline bool failWithNull = false;

    static void start(int failFromCall = -1, bool withNull = false)
    {
        allocations = releases = copies = 0;
        failFrom = failFromCall;
        failWithNull = withNull;
    }
    static void* allocate(uint32_t size)
    {
        if (failFrom >= 0 && allocations >= failFrom) {
            if (failWithNull)
                return nullptr;
            throw std::bad_alloc();
        }
        ++allocations;
        return std::malloc(size == 0 ? 1 : size);
    }
    static void release(void* block)
    {
        ++releases;
        std::free(block);
    }
    static void copy(void* destination, const void* source, uint32_t count)
    {
        ++copies;
        std::memcpy(destination, source, count);
    }
};

} // namespace

TEST(KxMemoryStream, GrowsToTheNextMultipleOfTheStepWithAWholeExtraStep)
{
    struct Case { StreamSetup setup; std::vector<uint32_t> writes; std::vector<uint32_t> capacities; };
    for (const Case& c : std::vector<Case>{
             {{32, true, 0, false, 0}, {40, 24, 1}, {64, 64, 96}},
             {{32, true, 0, false, 0}, {64}, {96}},
             {{32, true, 0, false, 0}, {32, 0}, {32, 32}},
             {{8, true, 0, false, 4}, {9, 4}, {12, 16}},
             {{8, true, 0, false, 4}, {12}, {16}},
             {{16, true, 40, false, 16}, {40}, {40}},
             {{16, true, 100, false, 16}, {40}, {48}},
         }) {
        KxMemoryStream stream;
        stream.init(c.setup.size, c.setup.growable, c.setup.maxSize, c.setup.zeroFill, c.setup.growStep);
        std::string written;
        for (std::size_t i = 0; i < c.writes.size(); ++i) {
            const std::string piece(c.writes[i], static_cast<char>('a' + i));
            writeText(stream, piece);
            written += piece;
            EXPECT_EQ(stream.capacity(), c.capacities[i]) << "setup size " << c.setup.size << ", write #" << i;
        }
        EXPECT_EQ(contentOf(stream), bytesOf(written));
        EXPECT_EQ(stream.position(), written.size());
    }
}

TEST(KxMemoryStream, RefusedGrowthRaisesAndChangesNothing)
{
    struct Case { const char* label; StreamSetup setup; bool initialised; uint32_t position; uint32_t count; KxRange range; };
    for (const Case& c : std::vector<Case>{
             {"never initialised", {}, false, 0, 1, {0, -1, 1}},
             {"beyond the maximum", {16, true, 40, false, 16}, true, 0, 41, {0, 39, 41}},
             {"not growable", {8, false, 0, false, 0}, true, 0, 9, {0, 7, 9}},
             {"end past 32-bit offsets", {32, true, 0, false, 0}, true, 0xFFFFFFF0u, 32, {0, 31, 16}},
         }) {
        for (const bool useFill : {false, true}) {
            KxMemoryStream stream;
            if (c.initialised)
                stream.init(c.setup.size, c.setup.growable, c.setup.maxSize, c.setup.zeroFill, c.setup.growStep);
            stream.setPosition(c.position);
            const StreamState before(stream);
            const std::vector<uint8_t> source(c.count, 0x5A);
            const auto exception = raisedBy<KxRangeException>([&] {
                if (useFill)
                    stream.fill(0x5A, c.count);
                else
                    stream.write(source.data(), c.count);
            });
            SCOPED_TRACE(std::string(c.label) + (useFill ? " (fill)" : " (write)"));
            EXPECT_EQ(exception.where, KxString(u"MemoryStream::reallocIfNeeded()"));
            EXPECT_EQ(exception.range().lower, c.range.lower);
            EXPECT_EQ(exception.range().upper, c.range.upper);
            EXPECT_EQ(exception.range().value, c.range.value);
            EXPECT_TRUE(StreamState(stream) == before);
        }
    }
}

TEST(KxMemoryStream, ReadsAreBoundedByTheCapacityNotTheLength)
{
    KxMemoryStream stream;
    stream.init(32, true, 0, true, 0);
    writeText(stream, "abcd");
    stream.setPosition(0);
    std::vector<uint8_t> destination(33, 0xEE);
    stream.read(destination.data(), 32);
    EXPECT_EQ(std::vector<uint8_t>(destination.begin(), destination.begin() + 4), bytesOf("abcd"));
    EXPECT_EQ(std::vector<uint8_t>(destination.begin() + 4, destination.begin() + 32), std::vector<uint8_t>(28, 0));
    EXPECT_EQ(stream.position(), 32u);

    struct Case { uint32_t position; uint32_t count; KxRange range; };
    for (const Case& c : std::vector<Case>{{0, 33, {0, 31, 33}}, {30, 3, {0, 31, 33}}, {0xFFFFFFFFu, 2, {0, 31, 1}}}) {
        stream.setPosition(c.position);
        const StreamState before(stream);
        const auto exception = raisedBy<KxRangeException>([&] { stream.read(destination.data(), c.count); });
        EXPECT_EQ(exception.where, KxString(u"MemoryStream"));
        EXPECT_EQ(exception.range().upper, c.range.upper);
        EXPECT_EQ(exception.range().value, c.range.value) << "position " << c.position;
        EXPECT_TRUE(StreamState(stream) == before);
        EXPECT_EQ(destination[32], 0xEE);
    }
}

TEST(KxMemoryStream, EmptyStreamResetAndRemaining)
{
    KxMemoryStream empty;
    EXPECT_FALSE(empty.isOpen());
    EXPECT_EQ(empty.length(), 0u);
    uint8_t byte = 0;
    empty.read(&byte, 0);
    empty.write(&byte, 0);
    EXPECT_EQ(empty.remaining(), 0u);

    KxMemoryStream stream;
    stream.init(32, true, 0, false, 0);
    writeText(stream, "hello");
    EXPECT_EQ(stream.remaining(), 0u);
    stream.setPosition(0);
    EXPECT_EQ(stream.remaining(), 5u);
    stream.setPosition(9);
    EXPECT_EQ(stream.remaining(), 0u);

    const uint8_t* block = stream.buffer();
    stream.reset();
    EXPECT_EQ(stream.length(), 0u);
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.mark(), 0u);
    EXPECT_EQ(stream.capacity(), 32u);
    EXPECT_EQ(stream.buffer(), block);
    EXPECT_TRUE(stream.isOpen());
}

TEST(KxMemoryStream, WritingPastTheEndGrowsOverAZeroFilledGap)
{
    KxMemoryStream stream;
    stream.init(4, true, 0, true, 0);
    stream.setPosition(6);
    stream.fill(0x7F, 2);
    EXPECT_EQ(stream.capacity(), 12u);
    EXPECT_EQ(contentOf(stream), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0x7F, 0x7F}));
}

TEST(KxMemoryStream, IntegersTravelInHostByteOrder)
{
    KxMemoryStream stream;
    stream.init(8, true, 0, false, 0);
    EXPECT_EQ(stream.byteOrder(), 0);
    EXPECT_FALSE(stream.swapBytes());
    stream.writeUInt32(258);
    stream.writeUInt16(0x0102);
    EXPECT_EQ(contentOf(stream), (std::vector<uint8_t>{0x02, 0x01, 0x00, 0x00, 0x02, 0x01}));
    stream.setPosition(0);
    uint32_t wide = 0;
    uint16_t narrow = 0;
    stream.readUInt32(wide);
    stream.readUInt16(narrow);
    EXPECT_EQ(wide, 258u);
    EXPECT_EQ(narrow, 0x0102);
}

TEST(KxMemoryStream, AllocationFailuresRaiseAndChangeNothing)
{
    for (const bool withNull : {false, true}) {
        SCOPED_TRACE(withNull ? "hook returns null" : "hook throws bad_alloc");
        HookLog::start(0, withNull);
        KxMemoryStream unopened;
        unopened.setHooks(HookLog::allocate, HookLog::release, HookLog::copy);
        const auto initFailure = raisedBy<KxBadAllocException>([&] { unopened.init(32, true, 0, false, 0); });
        EXPECT_EQ(initFailure.where, KxString(u"KxMemoryStream::init()"));
        EXPECT_EQ(initFailure.allocSize(), 32u);
        EXPECT_FALSE(unopened.isOpen());
        EXPECT_EQ(unopened.capacity(), 0u);

        HookLog::start(1, withNull);
        KxMemoryStream stream;
        stream.setHooks(HookLog::allocate, HookLog::release, HookLog::copy);
        stream.init(32, true, 0, false, 0);
        writeText(stream, std::string(32, 'x'));
        const StreamState before(stream);
        const auto growthFailure = raisedBy<KxBadAllocException>([&] { writeText(stream, "y"); });
        EXPECT_EQ(growthFailure.where, KxString(u"KxMemoryStream::reallocIfNeeded()"));
        EXPECT_EQ(growthFailure.allocSize(), 64u);
        EXPECT_TRUE(StreamState(stream) == before);
        EXPECT_EQ(contentOf(stream), bytesOf(std::string(32, 'x')));
    }
}

TEST(KxMemoryStream, HooksAreHonouredAndEveryBlockIsReleased)
{
    HookLog::start();
    {
        KxMemoryStream stream;
        stream.setHooks(HookLog::allocate, HookLog::release, HookLog::copy);
        stream.init(16, true, 0, false, 0);
        writeText(stream, std::string(20, 'a'));
        EXPECT_EQ(HookLog::allocations, 2);
        EXPECT_EQ(HookLog::releases, 1);
        EXPECT_EQ(HookLog::copies, 2);
        stream.init(0, true, 0, false, 0);
        EXPECT_EQ(HookLog::releases, 2);
    }
    EXPECT_EQ(HookLog::allocations, 3);
    EXPECT_EQ(HookLog::releases, 3);
}

TEST(KxMemoryStream, StreamFormIsLengthThenContent)
{
    KxMemoryStream source;
    source.init(8, true, 0, false, 0);
    writeText(source, "abcde");
    source.setPosition(2);

    KxMemoryStream target;
    target.init(4, true, 0, false, 0);
    source.writeToStream(target);
    EXPECT_EQ(contentOf(target), (std::vector<uint8_t>{5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'}));

    KxMemoryStream copy;
    copy.init(32, true, 0, false, 0);
    target.setPosition(0);
    copy.readFromStream(target);
    EXPECT_EQ(copy.length(), 5u);
    EXPECT_EQ(copy.position(), 0u);
    EXPECT_EQ(contentOf(copy), bytesOf("abcde"));

    // Room is made for position + n although the bytes land at offset 0.
    KxMemoryStream fixed;
    fixed.init(8, false, 0, false, 0);
    fixed.setPosition(4);
    target.setPosition(0);
    const auto exception = raisedBy<KxRangeException>([&] { fixed.readFromStream(target); });
    EXPECT_EQ(exception.range().value, 9);
    EXPECT_EQ(fixed.length(), 0u);
}

TEST(KxMemoryStream, ArchiveFormIsLengthItemAndBytesItem)
{
    KxMemoryStream source;
    source.init(8, true, 0, false, 0);
    writeText(source, "abc");
    KxMemoryArchive archive;
    source.writeToArchive(archive);
    EXPECT_EQ(archive.items.at(1), (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(archive.items.at(2), bytesOf("abc"));
    EXPECT_EQ(archive.names.at(1), KxString());
    EXPECT_EQ(archive.names.at(2), KxString());

    KxMemoryStream copy;
    copy.init(2, true, 0, false, 0);
    copy.setPosition(1);
    copy.readFromArchive(archive);
    EXPECT_EQ(copy.position(), 0u);
    EXPECT_EQ(contentOf(copy), bytesOf("abc"));
}
