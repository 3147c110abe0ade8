#pragma once
// Shell folders by id. The three the program uses map to the desktop's folders:
//   26 (per-user application data)   -> $XDG_CONFIG_HOME (default ~/.config)
//   35 (all-users application data)  -> C:\ProgramData (a common folder on drive C)
//   28 (local application data)      -> $XDG_DATA_HOME (default ~/.local/share)
// Paths come back as Windows paths without a trailing "\".
#include <QString>

namespace modSpecialFolder {

enum : long {
    CSIDL_APPDATA = 26,
    CSIDL_LOCAL_APPDATA = 28,
    CSIDL_COMMON_APPDATA = 35,
    CSIDL_FLAG_CREATE = 0x8000,
};

// The folder's path, or "" for an unknown id or (without `create`) a folder that is missing.
// With `create` a missing folder is made first.
QString GetSpecialFolder(long csidl, bool create);

}  // namespace modSpecialFolder
