#pragma once
// A link that another user made in a folder anyone may write to (sticky, like /tmp), naming a
// file of the test's own. Root gives a link of its own to another id. A normal user can give
// nothing away, so the folder is two layers shown as one (a read-only overlay, in a mount table
// of the test program's window thread): a folder of the test's over a system folder, whose
// links are root's; a link there whose target is a plain name then names the test's link of
// that name, and through it the test's file. Where neither can be had, reason() says why.
#include <QByteArray>
#include <QString>

namespace testing_support {

class AnotherUsersLink {
public:
    // Made inside `hostFolder`, a folder of the test's own; the file holds `content`.
    AnotherUsersLink(const QString& hostFolder, const QByteArray& content);
    ~AnotherUsersLink();
    AnotherUsersLink(const AnotherUsersLink&) = delete;
    AnotherUsersLink& operator=(const AnotherUsersLink&) = delete;

    bool ok() const { return reason_.isEmpty(); }
    const QString& reason() const { return reason_; }
    const QString& link() const { return link_; }
    const QString& file() const { return file_; }

private:
    QString overlaidFolder(const QString& hostFolder);

    QString link_;
    QString file_;
    QByteArray mounted_;
    QString reason_;
};

}  // namespace testing_support
