#pragma once
// The one place that decides what may be deleted and where working files may be written.
//
// Folder-tree deletion and every write into a working folder reach their entries from the
// drive's root one folder at a time through folder descriptors (openat with O_NOFOLLOW, fstatat
// without following, unlinkat), as rm -r does: no path is resolved twice and no symbolic link is
// followed. A link met where a folder or file is expected is removed as a link, or the operation
// fails; what it points at stays whole. Other writes (the output folder, the program folder)
// reach their folder through the host's own look-up, as the user set it up.
#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <functional>

namespace win {

// True when a Windows path lies in one of the working folders on drive C ("c:\tmp",
// "c:\jpgtmp", "c:\tmpfolipress", "c:\ocrtmp", the folders themselves included).
bool isWorkingPath(const QString& winPath);

// An open folder and the host name of one entry in it (the entry need not exist).
class HeldEntry {
public:
    HeldEntry() = default;
    HeldEntry(int folderFd, QByteArray name);
    HeldEntry(HeldEntry&& other) noexcept;
    HeldEntry& operator=(HeldEntry&& other) noexcept;
    HeldEntry(const HeldEntry&) = delete;
    HeldEntry& operator=(const HeldEntry&) = delete;
    ~HeldEntry();

    bool ok() const { return fd_ >= 0; }  // false: the folder could not be reached
    int folder() const { return fd_; }
    const char* name() const { return name_.constData(); }
    // Why the folder could not be reached (an errno value; ELOOP: a link on the way).
    int error() const { return error_; }
    // Reached as a working file is: no link followed on the way, nor at the entry itself.
    bool strict() const { return strict_; }
    void setStrict() { strict_ = true; }
    static HeldEntry failed(int error);

private:
    int fd_ = -1;
    QByteArray name_;
    int error_ = 0;
    bool strict_ = false;
};

// The entry for writing or deleting a file. Inside the working folders every folder from the
// drive's root on is opened without following a link (the drive-C folder itself is the user's
// setting and is taken as it is), and a name not there as spelled is matched without regard to
// case; elsewhere the entry's folder is opened by its host path. A drive root has no entry.
HeldEntry holdFileEntry(const QString& winPath);

// Deletes a folder with all its files and subfolders on the folder's own mount (whatever is
// mounted inside it stays whole, a folder bound in from the same file system included). The
// folder itself is reached as the working folders are; when it is a link, the link is removed
// and nothing it points at is touched. Entries are taken in listing order; once a listing that
// met a subfolder ends, it is read again for entries made meanwhile (entries already tried are
// passed over); each folder gets back its owner write permission before its entries go.
// `afterEachEntry` runs after every entry. Nothing is reported: what cannot go stays.
void deleteFolderTree(const QString& winPath, const std::function<void()>& afterEachEntry);

// Writing a file whole: the bytes go into an unnamed file in the target's folder (O_TMPFILE),
// which commit() names as the target once it is whole, so a run killed before then leaves
// nothing behind. Where the file system makes no unnamed file (or /proc is not there to name
// one), they go into a side file created exclusively beside the target (its name cannot collide
// with an existing file), which commit() renames over the target. In a working folder a link at
// the target is replaced as a link; elsewhere a link is the user's and is followed, through a
// chain of at most 40 links, to the file it names, which is replaced in its own folder (a
// dangling link: the file it names is made). Only the side file made here is ever removed.
class FileReplacement {
public:
    // Raises RuntimeError: the folder cannot be reached (76; a link on the way in a working
    // folder), the target is a folder or a longer chain of links (75), read-only (70), a link
    // planted by another user in a folder anyone may write to (70), or no file can be made.
    explicit FileReplacement(const QString& winPath);
    ~FileReplacement();  // removes the side file unless committed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    int fd() const { return fd_; }  // open for reading and writing
    void write(const char* data, qint64 size);  // raises 75 on a failed write
    // A new file is open to no group or others that `sourceMode` shuts out, so a copy is never
    // readable by more people than its source; a file replaced keeps its own permissions.
    void limitTo(mode_t sourceMode);
    // Raises 75; the target is left as it was. A file replaced keeps its permission bits, and
    // its group where the user may give it; a new file gets what the umask leaves of 0666.
    void commit();

private:
    bool nameUnnamedFile();
    void keepPermissions();

    HeldEntry entry_;
    QByteArray side_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool durable_ = false;  // the user's file, not a working file: on the disk before it is named
    bool replacing_ = false;  // a file is there: its permission bits and group
    mode_t mode_ = 0;
    gid_t group_ = 0;
    mode_t limit_ = 07777;  // what a new file may have at most
    bool committed_ = false;
};

}  // namespace win
