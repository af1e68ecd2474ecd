#include "KxTestFolder.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace Tessit;

namespace {

namespace fs = std::filesystem;

// Points TMP (which the system asks first) at `value` for one test.
class WithTmp {
public:
    explicit WithTmp(const std::wstring& value)
    {
        wchar_t previous[MAX_PATH + 1] = {};
        m_had = GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1) != 0;
        m_previous = previous;
        SetEnvironmentVariableW(L"TMP", value.c_str());
    }
    ~WithTmp() { SetEnvironmentVariableW(L"TMP", m_had ? m_previous.c_str() : nullptr); }

private:
    bool m_had = false;
    std::wstring m_previous;
};

} // namespace

TEST(TempFolder, MustBeAnExistingFolder)
{
    const Kavo::KxTestFolder folder;
    const fs::path existing = folder.path() / "temp";
    fs::create_directories(existing);
    const fs::path file = folder.path() / "file";
    std::ofstream(file) << "not a folder";

    {
        const WithTmp tmp(existing.wstring());
        EXPECT_EQ(std::u16string(userTempFolder().c_str()), existing.u16string() + u"\\");
    }
    for (const fs::path& unusable : {folder.path() / "missing", file}) {
        const WithTmp tmp(unusable.wstring());
        EXPECT_TRUE(userTempFolder().length() == 0) << unusable;
    }
}
