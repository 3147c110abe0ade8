#pragma once
// File and folder operations on Windows paths, with the runtime's attribute words.
// On the host, "read-only" is a missing owner write bit and "hidden" a name starting with a dot.
// Failures raise RuntimeError (skipped where the caller runs with error skipping).
// Deletions and writes go through SafeTree, which decides what may be touched: inside the
// working folders on drive C no link is followed on the way to an entry.
#include <QRegularExpression>
#include <QString>

namespace win {

enum FileAttribute {
    kAttrNormal = 0,
    kAttrReadOnly = 1,
    kAttrHidden = 2,
    kAttrSystem = 4,
    kAttrVolume = 8,
    kAttrDirectory = 16,
    kAttrArchive = 32,
};

// The runtime's directory listing; it keeps one listing at a time. `dir(pattern, mask)` starts
// a listing of the names matching the pattern's last component (wildcards * and ?; a pattern
// ending in "\" lists everything in the folder), including "." and ".." for folders when
// kAttrDirectory is in the mask; `dir()` returns the next name; "" when there are no more.
// Normal files are always listed; hidden, system and folder entries only when the mask asks.
QString dir(const QString& pattern, int attributeMask = kAttrNormal);
QString dir();

// A file-name pattern with the wildcards * and ?, matched without regard to case.
QRegularExpression wildcardPattern(const QString& pattern);

int getAttr(const QString& path);             // raises 53 when missing
void setAttr(const QString& path, int attrs);  // read-only sets/clears the owner write bit
void killFile(const QString& path);            // deletes one file (a link itself)
// MkDir: parent must exist, raises 75 if present. A link standing where a working folder is
// made is removed first, so the folder made is a real one.
void makeFolder(const QString& path);
void removeFolder(const QString& path);        // RmDir: must be empty
// Copies, replacing the target; raises 70 for a read-only target, which is left as it was.
// A target replaced keeps its permissions and group; a new one gets the umask's, no wider than
// the source's.
void copyFile(const QString& from, const QString& to);
// Writes a file whole, replacing it (70 for a read-only one).
void replaceFile(const QString& path, const QByteArray& bytes);
// Appends to a file, creating it when missing; in a working folder never through a link.
void appendToFile(const QString& path, const QByteArray& bytes);
// Opens a file with open(2) flags (O_CLOEXEC added); in a working folder never through a link.
// -1 with the system's error number in `error` when it cannot.
int openFile(const QString& path, int flags, int& error);
// Any entry of that name, a link included (wherever it points).
bool entryExists(const QString& path);
// Writes all bytes at the descriptor's position: 0, or the system's error number (ENOSPC for a
// write that took nothing).
int writeAll(int fd, const char* data, qint64 size);
bool fileExists(const QString& path);
bool folderExists(const QString& path);
long long fileLength(const QString& path);     // -1 when missing

}  // namespace win
