#include "platform/Unix/IniProfile.h"

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace Tessit {

namespace pt = boost::property_tree;

namespace {

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : std::string();
}

std::string configHome()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    const std::string home = homeFolder();
    return home.empty() ? home : home + "/.config";
}

bool exists(const std::string& path, int& error)
{
    struct stat status;
    error = stat(path.c_str(), &status) == 0 ? 0 : errno;
    return error == 0;
}

bool makeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        int error = 0;
        if (!exists(level, error) && (error != ENOENT || mkdir(level.c_str(), 0700) != 0))
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// An empty tree for a missing file; nothing when the file cannot be read or
// parsed.
std::optional<pt::ptree> readIni(const std::string& path)
{
    int error = 0;
    if (!exists(path, error))
        return error == ENOENT ? std::optional<pt::ptree>(pt::ptree()) : std::nullopt;
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return std::nullopt;
    try {
        pt::ptree tree;
        pt::ini_parser::read_ini(stream, tree);
        return tree;
    } catch (const pt::ini_parser_error&) {
        return std::nullopt;
    }
}

bool writeAll(int descriptor, const std::string& bytes)
{
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t count = write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += size_t(count);
    }
    return true;
}

bool replaceFile(const std::string& path, const std::string& bytes)
{
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    const bool written = writeAll(descriptor, bytes) && fsync(descriptor) == 0;
    if (close(descriptor) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string profileFilePath(const std::string& organisation, const std::string& application)
{
    const std::string home = configHome();
    return home.empty() ? home : home + "/" + organisation + "/" + application + ".conf";
}

bool writeProfileInt(const std::string& path, const std::string& section, const std::string& entry,
                     int32_t value)
{
    if (path.empty() || !makeFolders(path.substr(0, path.rfind('/'))))
        return false;
    std::optional<pt::ptree> tree = readIni(path);
    if (!tree)
        return false;
    // Section and entry names are taken whole, never as dotted paths.
    tree->put(pt::ptree::path_type(section + '\n' + entry, '\n'), value);
    std::ostringstream text;
    try {
        pt::ini_parser::write_ini(text, *tree);
    } catch (const pt::ini_parser_error&) {
        return false; // a plain entry already has the section's name
    }
    return replaceFile(path, text.str());
}

} // namespace Tessit
