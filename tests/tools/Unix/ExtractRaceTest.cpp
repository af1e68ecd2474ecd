// Whoever can write a signed package changes an entry while tessit-pack
// extract reads it: what is extracted is what the signature covers, or
// nothing.
#include "CrossBuiltPrograms.h"
#include "KxTestFolder.h"
#include "PackageTestSupport.h"

#include "PackError.h"
#include "PackageFacts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

using namespace Tessit;
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ExtractRace, AnEntryChangedWhileItIsReadIsNeverExtracted)
{
    if (!signedPackagesBuilt)
        GTEST_SKIP() << signedPackagesSkipped;
    Kavo::KxTestFolder folder;
    const fs::path package = folder.at(u"Setup.exe");
    fs::copy_file(crossBuiltProgram(u"signed/tiny-pe32-sha256.exe"), package);
    const std::string original = readAll(package);
    const size_t dataAt = original.find("the data of a signed package");
    ASSERT_NE(dataAt, std::string::npos);
    const std::string data = readAll(crossBuiltProgram(u"signed/tiny-pe32-sha256.exe")).substr(dataAt, 600000);
    // A byte in the middle of the entry, well inside a copy block.
    const off_t changedAt = off_t(dataAt + 300000);
    const char bytes[2] = {original[size_t(changedAt)], char(original[size_t(changedAt)] ^ 0x20)};

    int refused = 0;
    for (int round = 0; round < 60; ++round) {
        const fs::path out = folder.at(u"out" + std::u16string(1, char16_t(u'A' + round % 26)) +
                                       std::u16string(1, char16_t(u'a' + round / 26)));
        std::atomic<bool> reading{true};
        std::thread writer([&] {
            const int file = ::open(package.c_str(), O_WRONLY | O_CLOEXEC);
            for (int flip = 0; reading; flip ^= 1)
                if (::pwrite(file, &bytes[flip], 1, changedAt) != 1)
                    break;
            ::pwrite(file, &bytes[0], 1, changedAt);
            ::close(file);
        });
        bool extracted = true;
        try {
            extractEntries(package, out);
        } catch (const PackError&) {
            extracted = false;
        }
        reading = false;
        writer.join();
        if (extracted) {
            EXPECT_EQ(readAll(out / "docs" / "data.bin"), data) << "round " << round;
        } else {
            ++refused;
            EXPECT_TRUE(fs::is_empty(out)) << "round " << round << ": a refused package leaves nothing";
        }
    }
    RecordProperty("refused", refused);
}
