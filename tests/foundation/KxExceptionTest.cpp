#include "KxTestPrinting.h"

#include "KxFoundation/KxException.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Kavo;

TEST(KxException, MessagesOfEachClass)
{
    KxRangeException rangeWithoutData(u"KxString::substring()", KxRange{0, 4, 7});
    rangeWithoutData.detail = nullptr;
    KxBadAllocException allocWithoutData(u"KxMemoryStream::init()", 32);
    allocWithoutData.detail = nullptr;

    struct Case { std::shared_ptr<KxException> exception; const char16_t* message; };
    for (const Case& c : std::vector<Case>{
             {std::make_shared<KxRangeException>(u"KxString::substring()", KxRange{0, 4, 7}),
              u"\"KxString::substring()\", 7 in [0, 4]"},
             {std::make_shared<KxRangeException>(u"KxString::substring()", KxRange{0, -1, 3}),
              u"\"KxString::substring()\", 3 in [0, -1]"},
             {std::make_shared<KxBadCastException>(u"KxString::toInt32()", 0, nullptr), u"\"KxString::toInt32()\", 0, 0x0"},
             {std::make_shared<KxBadAllocException>(u"KxMemoryStream::init()", 32),
              u"\"KxMemoryStream::init()\", allocSize=32"},
             {std::make_shared<KxException>(u"where", -5, reinterpret_cast<void*>(0xBEEF)), u"\"where\", -5, 0xbeef"},
             {std::make_shared<KxRangeException>(rangeWithoutData), u"\"KxString::substring()\", 0, 0x0"},
             {std::make_shared<KxBadAllocException>(allocWithoutData), u"\"KxMemoryStream::init()\", 0, 0x0"},
         }) {
        EXPECT_EQ(c.exception->toString(), KxString(c.message));
    }
}

TEST(KxException, CopyDescribesItselfAfterItsSourceIsGone)
{
    auto source = std::make_unique<KxRangeException>(u"KxString::substring()", KxRange{0, 4, 7});
    const KxRangeException copy(*source);
    auto allocSource = std::make_unique<KxBadAllocException>(u"KxMemoryStream::reallocIfNeeded()", 96);
    KxBadAllocException allocCopy(u"", 0);
    allocCopy = *allocSource;
    source.reset();
    allocSource.reset();
    EXPECT_EQ(copy.toString(), KxString(u"\"KxString::substring()\", 7 in [0, 4]"));
    EXPECT_EQ(allocCopy.toString(), KxString(u"\"KxMemoryStream::reallocIfNeeded()\", allocSize=96"));
}
