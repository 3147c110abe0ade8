#include "ControlPath.h"

#include "BstrCodePage.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace clipsight {

namespace {
std::string DriveCFolder() {
    const char* c = std::getenv("LUMIDOC_DRIVE_C");
    if (c && *c) return c;
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/lumidoc/drive_c";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/lumidoc/drive_c";
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Appends one component to base, matching it without regard to case when it is not there as spelled.
std::string Join(const std::string& base, const std::string& name) {
    std::string exact = (base == "/" ? base : base + "/") + name;
    if (name == "." || name == ".." || Exists(exact)) return exact;
    DIR* dir = ::opendir(base.c_str());
    if (!dir) return exact;
    std::string found;
    while (dirent* e = ::readdir(dir)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found.empty() ? exact : (base == "/" ? base : base + "/") + found;
}
}  // namespace

bool HostPathFromAnsiPath(const char* ansiPath, std::string* out) {
    if (!ansiPath) return false;
    std::string utf8;
    if (!AnsiToUtf8(ansiPath, std::strlen(ansiPath), &utf8)) return false;
    bool drive = utf8.size() >= 2 && utf8[1] == ':' &&
                 ((utf8[0] >= 'A' && utf8[0] <= 'Z') || (utf8[0] >= 'a' && utf8[0] <= 'z'));
    if (!drive) {
        *out = utf8;
        return true;
    }
    char letter = static_cast<char>(utf8[0] & ~0x20);
    std::string root;
    if (letter == 'Z')
        root = "/";
    else if (letter == 'C')
        root = DriveCFolder();
    else
        return false;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 2; i <= utf8.size(); ++i) {
        char ch = i < utf8.size() ? utf8[i] : '\\';
        if (ch == '\\' || ch == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part.push_back(ch);
        }
    }
    std::string path = root;
    for (const std::string& p : parts) path = Join(path, p);
    *out = path;
    return true;
}

}  // namespace clipsight
