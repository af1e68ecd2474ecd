#ifndef TESSIT_TESTS_KXTESTFOLDER_H
#define TESSIT_TESTS_KXTESTFOLDER_H

#include "KxFoundation/KxString.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace Kavo {

inline KxString toKxString(const std::filesystem::path& path) { return KxString(path.u16string().c_str()); }

// The names of what `folder` holds, not below it.
inline std::set<std::u16string> namesIn(const std::filesystem::path& folder)
{
    std::set<std::u16string> names;
    for (const std::filesystem::directory_entry& item : std::filesystem::directory_iterator(folder))
        names.insert(item.path().filename().u16string());
    return names;
}

// A fresh folder of its own for one test, removed with its contents after.
class KxTestFolder {
public:
    KxTestFolder()
    {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            m_path = base / ("tessit-test-" + std::to_string(random()) + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_path));
    }
    KxTestFolder(const KxTestFolder&) = delete;
    KxTestFolder& operator=(const KxTestFolder&) = delete;
    ~KxTestFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& path() const { return m_path; }

    // The folder as text, ending in a '\', the separator packaged names use.
    KxString text() const { return toKxString(m_path) + u"\\"; }
    KxString text(const char16_t* relative) const { return text() + relative; }

    std::filesystem::path at(const std::u16string& relative) const { return m_path / relative; }

    void writeFile(const std::u16string& relative, const std::string& bytes) const
    {
        std::ofstream(at(relative), std::ios::binary) << bytes;
    }

    std::string readFile(const std::u16string& relative) const
    {
        std::ifstream stream(at(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_path;
};

} // namespace Kavo

#endif
