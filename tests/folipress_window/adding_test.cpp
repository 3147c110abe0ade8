// Adding files: the open dialog, the folder search, drops, and the ANSI-safe copies in c:\tmp.
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>

#include "WindowFixture.h"

#include <ostream>
#include "win/WinPath.h"

using testing_support::readFile;
using testing_support::writeFile;

struct Adding : WindowFixture {
    QTemporaryDir scans;  // outside drive C: its files come back as Z:\... paths
    QString make(const QString& name, const QByteArray& bytes = "image") {
        const QString p = scans.path() + "/" + name;
        writeFile(p, bytes);
        return p;
    }
    static QString z(const QString& hostPath) { return win::fromHostPath(hostPath); }
    QString copyHost(const QString& name) { return driveC.hostPath("tmp/" + name); }
};

TEST_F(Adding, APlainNameGoesIntoBothListsUncopied) {
    const QString photo = make("photo.jpg");
    dialogs.answerFile(photo);
    w->CmdToolsBar_Click(0);
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    const forms::FileDialogRequest& r = dialogs.fileRequests[0];
    EXPECT_EQ(r.owner, w.get());
    EXPECT_EQ(r.filters().size(), 8);
    EXPECT_EQ(r.filters().first().first, "JPG Files(*.jpg)");
    EXPECT_EQ(r.filters().last().second, "*.*");
    EXPECT_EQ(r.fileName, "");
    EXPECT_EQ(texts(w->List1), QStringList{z(photo)});
    EXPECT_EQ(texts(w->List2), QStringList{z(photo)});
    EXPECT_TRUE(w->picDoor->isHidden());
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
    EXPECT_TRUE(QDir(driveC.hostPath("tmp")).isEmpty());

    // The same file again: a second entry; the dialog opens without the last name.
    dialogs.answerFile(photo);
    w->CmdToolsBar_Click(0);
    EXPECT_EQ(dialogs.fileRequests[1].fileName, "");
    EXPECT_EQ(texts(w->List1), (QStringList{z(photo), z(photo)}));
    EXPECT_EQ(texts(w->List2), (QStringList{z(photo), z(photo)}));
}

TEST_F(Adding, GreekNamesGetNumberedCopiesWithTheirOwnExtension) {
    const QString jpeg = make("σάρωση.jpeg", "jpeg bytes");
    const QString tiff = make("σελίδα.tiff", "tiff bytes");
    dialogs.answerFile(jpeg);
    w->CmdToolsBar_Click(0);
    dialogs.answerFile(tiff);
    w->CmdToolsBar_Click(0);
    EXPECT_EQ(texts(w->List1), (QStringList{"c:\\tmp\\1.jpeg", "c:\\tmp\\2.tiff"}));
    const QString dir = z(scans.path());
    EXPECT_EQ(texts(w->List2), (QStringList{dir + "\\??????.jpeg", dir + "\\??????.tiff"}));
    EXPECT_EQ(readFile(copyHost("1.jpeg")), "jpeg bytes");
    EXPECT_EQ(readFile(copyHost("2.tiff")), "tiff bytes");

    // A number freed outside the program is taken again.
    QFile::remove(copyHost("1.jpeg"));
    w->AddAnsiSafe(z(tiff));
    EXPECT_EQ(w->List1->item(2)->text(), "c:\\tmp\\1.tiff");
    EXPECT_EQ(w->List2->count(), 3);
}

TEST_F(Adding, AGreekNameWithoutAnExtensionIsCopiedWithoutOne) {
    const QString bare = make("σάρωση", "bare bytes");
    const QString dotted = make("v1.2/σελίδα", "dotted folder bytes");
    const QString jpeg = make("εικόνα.jpeg", "jpeg bytes");
    w->AddAnsiSafe(z(bare));
    w->AddAnsiSafe(z(dotted));
    w->AddAnsiSafe(z(jpeg));
    // A copy without an extension holds its number as well as one with.
    EXPECT_EQ(texts(w->List1), (QStringList{"c:\\tmp\\1", "c:\\tmp\\2", "c:\\tmp\\3.jpeg"}));
    EXPECT_EQ(w->List2->count(), 3);
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(readFile(copyHost("1")), "bare bytes");
    EXPECT_EQ(readFile(copyHost("2")), "dotted folder bytes");
    EXPECT_EQ(readFile(copyHost("3.jpeg")), "jpeg bytes");
}

TEST_F(Adding, WhenNoCopyNameIsFreeNeitherListGetsTheFileAndTheUserIsTold) {
    const QString greek = make("ωμέγα.png");
    w->copyNumberLimit = 3;
    for (int n = 1; n <= 3; ++n) writeFile(copyHost(QString::number(n) + ".png"), "taken");
    w->AddAnsiSafe(z(greek));
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_EQ(w->List2->count(), 0);
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].title, "Add File");
    EXPECT_TRUE(ui.shown[0].prompt.contains("?????.png"));
    EXPECT_EQ(readFile(copyHost("3.png")), "taken");

    // A free name again: the file goes in.
    QFile::remove(copyHost("2.png"));
    w->AddAnsiSafe(z(greek));
    EXPECT_EQ(texts(w->List1), QStringList{"c:\\tmp\\2.png"});
    EXPECT_EQ(w->List2->count(), 1);
}

TEST_F(Adding, AFileThatCannotBeCopiedIsNotAddedAndTheUserIsTold) {
    w->AddAnsiSafe(z(scans.path() + "/gone.jpg"));
    w->AddAnsiSafe(z(scans.path() + "/χαμένο.jpg"));
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_EQ(w->List2->count(), 0);
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_TRUE(ui.shown[0].prompt.endsWith("gone.jpg"));
    EXPECT_FALSE(QFile::exists(copyHost("1.jpg")));
}

TEST_F(Adding, ACancelledDialogStillUncoversTheListAndSweepsTheFocus) {
    dialogs.answerCancel();
    w->menuAdd->trigger();
    EXPECT_TRUE(w->picDoor->isHidden());
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(w->List2->count(), 0);
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
}

TEST_F(Adding, DroppedFilesGoInInDropOrderAndFoldersAsThemselves) {
    const QString c = make("c.png"), a = make("a.txt"), b = make("b.jpg");
    QDir().mkpath(scans.path() + "/folder");
    auto three = fileDrop({c, a, b});
    w->List2_OLEDragDrop(three.get());
    EXPECT_EQ(texts(w->List1), (QStringList{z(c), z(a), z(b)}));
    EXPECT_EQ(texts(w->List2), (QStringList{z(c), z(a), z(b)}));
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_TRUE(QFile::exists(driveC.hostPath("tmp")));

    auto folder = fileDrop({scans.path() + "/folder/"});
    w->List2_OLEDragDrop(folder.get());
    EXPECT_EQ(w->List1->item(3)->text(), z(scans.path() + "/folder"));
    EXPECT_EQ(w->List2->item(3)->text(), z(scans.path() + "/folder"));
}

TEST_F(Adding, DropsOnTheStartPictureUncoverTheListAndNonFileDataAddsNothing) {
    const QString greek = make("φωτο.bmp", "bmp");
    auto drop = fileDrop({greek});
    w->picDoor_OLEDragDrop(drop.get());
    EXPECT_TRUE(w->picDoor->isHidden());
    EXPECT_EQ(texts(w->List1), QStringList{"c:\\tmp\\1.bmp"});
    EXPECT_EQ(texts(w->List2), QStringList{z(scans.path()) + "\\????.bmp"});

    QMimeData text;
    text.setText("just words");
    w->List2_OLEDragDrop(&text);
    w->List2_OLEDragDrop(nullptr);
    EXPECT_EQ(w->List1->count(), 1);
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(Adding, TheDropHintTakesOnlyImageEndings) {
    const QString a = make("a.txt"), b = make("b.png"), t = make("scan.TIFF"), g = make("ψ.jpeg");
    auto drop = fileDrop({a, b, t, g});
    w->picText_OLEDragDrop(drop.get());
    EXPECT_EQ(texts(w->List1), (QStringList{z(b), z(t), "c:\\tmp\\1.jpeg"}));
    EXPECT_EQ(texts(w->List2), (QStringList{z(b), z(t), z(scans.path()) + "\\?.jpeg"}));
    EXPECT_TRUE(w->picText->isHidden());

    // Nothing accepted on an empty list: the hint stays.
    WindowParts other;
    auto txt = fileDrop({a});
    other.w->picText_OLEDragDrop(txt.get());
    EXPECT_EQ(other.w->List1->count(), 0);
    EXPECT_FALSE(other.w->picText->isHidden());
}

// Enters a widget with a file drag and releases it there; true when the drop was taken.
static bool dragAndDrop(QWidget* target, QMimeData* data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

TEST_F(Adding, AReleasedDropReachesTheRightHandler) {
    const QString a = make("a.txt"), b = make("b.png");
    auto data = fileDrop({a, b});
    EXPECT_TRUE(dragAndDrop(w->picText, data.get()));
    EXPECT_EQ(texts(w->List1), QStringList{z(b)});
    EXPECT_TRUE(dragAndDrop(w->List2->viewport(), data.get()));
    EXPECT_EQ(texts(w->List1), (QStringList{z(b), z(a), z(b)}));
    EXPECT_TRUE(dragAndDrop(w->picDoor, data.get()));
    EXPECT_EQ(w->List1->count(), 5);
    EXPECT_TRUE(w->picDoor->isHidden());
}

TEST_F(Adding, AddFolderSearchesTheChosenTreeAndACancelSearchesNothing) {
    browser.answerCancel();
    w->CmdToolsBar_Click(1);
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(w->lblText->text(), "Drag && Drop Files Here");
    EXPECT_EQ(browser.requests.size(), 1);
    EXPECT_EQ(browser.requests[0].title, "Please select a folder:");
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);

    make("tree/2.jpg");
    make("tree/notes.txt");
    make("tree/sub/3.png");
    QString labelDuringSearch;
    bool hintShown = false;
    browser.answerFolder(scans.path() + "/tree");
    // Look at the hint from inside the search, which pumps messages as it walks.
    browser.onShow = [&](const forms::FolderBrowserRequest&) {
        QTimer::singleShot(0, [&] {
            labelDuringSearch = w->lblText->text();
            hintShown = !w->picText->isHidden();
        });
    };
    w->CmdToolsBar_Click(1);
    const QString tree = z(scans.path() + "/tree");
    EXPECT_EQ(texts(w->List1), (QStringList{tree + "\\2.jpg", tree + "\\sub\\3.png"}));
    EXPECT_EQ(texts(w->List2), texts(w->List1));
    EXPECT_EQ(w->lblText->text(), "Drag && Drop Files Here");
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_TRUE(w->picDoor->isHidden());
    EXPECT_EQ(labelDuringSearch, "Searching Files...");
    EXPECT_TRUE(hintShown);

    // A cancel with entries in the list leaves the hint hidden.
    browser.answerCancel();
    w->menuFolder->trigger();
    EXPECT_EQ(w->List1->count(), 2);
    EXPECT_TRUE(w->picText->isHidden());
}

TEST_F(Adding, AddFolderSearchesNoFolderWhoseNameTheCodePageCannotCarry) {
    make(QString::fromUtf8("日本/1.jpg"));
    make("?\?/2.jpg");  // where the name's ANSI form leads
    browser.answerFolder(scans.path() + QString::fromUtf8("/日本"));
    w->CmdToolsBar_Click(1);
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_EQ(w->List2->count(), 0);
}

TEST_F(Adding, WithoutTheProgramsFileDialogAddShowsNothingAndAddsNothing) {
    CommonDlgsW* kept = dlgOpen;
    dlgOpen = nullptr;
    dialogs.answerFile(make("photo.jpg"));
    w->CmdToolsBar_Click(0);
    dlgOpen = kept;
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_TRUE(w->picDoor->isHidden());
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
}
