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
// Characters a drive path may hold, its terminating NUL included, in the ANSI file calls.
constexpr size_t kMaxPath = 260;

// Length in UTF-16 units (what the limit counts) of UTF-8 text.
size_t Utf16Length(const std::string& utf8) {
    size_t units = 0;
    for (unsigned char ch : utf8) {
        if ((ch & 0xC0) != 0x80) ++units;
        if (ch >= 0xF0) ++units;  // a character beyond the basic plane takes two
    }
    return units;
}

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
    const size_t length = std::strlen(ansiPath);
    const bool drive = length >= 2 && ansiPath[1] == ':' &&
                       ((ansiPath[0] >= 'A' && ansiPath[0] <= 'Z') || (ansiPath[0] >= 'a' && ansiPath[0] <= 'z'));
    // A longer drive path names no file, as in the ANSI file calls. It is refused before any
    // look-up (one walk of the folders so far per component), and before it is converted when
    // its bytes alone tell: no code page spends more than four on one character.
    if (drive && length >= 4 * kMaxPath) return false;
    std::string utf8;
    if (!AnsiToUtf8(ansiPath, length, &utf8)) return false;
    if (!drive) {
        *out = utf8;
        return true;
    }
    if (Utf16Length(utf8) >= kMaxPath) return false;
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
