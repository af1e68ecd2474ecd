#include "KxTestFolder.h"

#include "EntrySources.h"
#include "PathText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Tessit;
namespace fs = std::filesystem;

// A link inside a folder being packed would pack whatever it leads to,
// anywhere on the system: it is refused, by name, unless asked for.
TEST(FolderLinks, AreRefusedByNameUnlessDereferenced)
{
    Kavo::KxTestFolder folder;
    const fs::path stage = folder.path() / "stage";
    fs::create_directories(stage / "docs");
    fs::create_directories(folder.path() / "outside");
    folder.writeFile(u"stage/main", "main tool");
    folder.writeFile(u"outside/secret", "secret");
    struct Case {
        const char* what;
        fs::path link;
        fs::path leadsTo;
        bool isFolder;
    };
    const Case cases[] = {
        {"a link to a file", stage / "docs/hostname", folder.path() / "outside/secret", false},
        {"a link to a folder", stage / "docs/more", folder.path() / "outside", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.isFolder ? fs::create_directory_symlink(c.leadsTo, c.link) : fs::create_symlink(c.leadsTo, c.link);

        try {
            collectEntries({stage.string()});
            ADD_FAILURE() << "packed";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.link.string()), std::string::npos) << error.what();
        }
        std::vector<std::string> names;
        for (const PackEntry& entry : collectEntries({stage.string()}, true))
            names.push_back(utf8Of(entry.name));
        EXPECT_EQ(names, (std::vector<std::string>{c.isFolder ? "docs\\more\\secret" : "docs\\hostname", "main"}));
        fs::remove(c.link);
    }
}
