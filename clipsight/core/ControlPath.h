// Where an 8-bit path handed to Open lies on the host. Windows drive paths are mapped as the rest
// of the suite does: Z:\ is the host root, C:\ is the folder $LUMIDOC_DRIVE_C (default
// $XDG_DATA_HOME/lumidoc/drive_c); other drives do not exist. A component not found as spelled is
// looked up without regard to ASCII case; a drive path of 260 characters or more names no file, as
// in the ANSI file calls. Any other text is taken as a host path.
#pragma once
#include <string>

namespace clipsight {

// Returns false (out untouched) when the path names no reachable file location.
bool HostPathFromAnsiPath(const char* ansiPath, std::string* out);

}  // namespace clipsight
