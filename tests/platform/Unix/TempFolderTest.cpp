#include "KxTestFolder.h"

#include "TempFolder.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

using namespace Tessit;

namespace {

namespace fs = std::filesystem;

// Runs a test in `folder` with TMPDIR set to `value`, and puts both back.
class InFolderWithTmpdir {
public:
    InFolderWithTmpdir(const fs::path& folder, const std::string& value) : m_folder(fs::current_path())
    {
        if (const char* previous = std::getenv("TMPDIR"))
            m_previous = previous;
        fs::current_path(folder);
        setenv("TMPDIR", value.c_str(), 1);
    }
    ~InFolderWithTmpdir()
    {
        fs::current_path(m_folder);
        if (m_previous)
            setenv("TMPDIR", m_previous->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    fs::path m_folder;
    std::optional<std::string> m_previous;
};

} // namespace

// The main tool is started by its path from inside the temporary folder, so
// the folder must not depend on where the launcher was started.
TEST(TempFolder, IsAbsoluteWhateverTmpdirSays)
{
    Kavo::KxTestFolder root;
    fs::create_directories(root.path() / "tmp");
    const std::string expected = (root.path() / "tmp" / ("tessit-" + std::to_string(geteuid()))).string() + "/";
    for (const std::string& value : {std::string("tmp"), std::string("tmp//"), (root.path() / "tmp/").string()}) {
        SCOPED_TRACE("TMPDIR=" + value);
        std::string folder;
        {
            InFolderWithTmpdir context(root.path(), value);
            folder = Kavo::nativePath(userTempFolder());
        }
        EXPECT_EQ(folder, expected);
        EXPECT_TRUE(fs::is_directory(expected));
    }
}
