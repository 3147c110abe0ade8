// The main window's controls, list operations, menus, output-folder chooser and focus sweep.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>

#include "DOSOutputs.h"
#include "WindowFixture.h"
#include "forms/App.h"
#include "win/WinPath.h"

using Lists = WindowFixture;

TEST_F(Lists, StartsWithTheStartPictureAndTheDropHint) {
    EXPECT_EQ(w->windowTitle(), "Lumidoc - Scanned Image To PDF");
    EXPECT_EQ(w->font().pointSize(), 9);
    const QSize client = w->centralWidget()->size();
    EXPECT_EQ(client.width(), qRound(11295 / forms::App::twipsPerPixelX()));
    EXPECT_EQ(client.height(), qRound(7560 / forms::App::twipsPerPixelY()));
    EXPECT_FALSE(w->picDoor->isHidden());
    EXPECT_FALSE(w->picDoor->grab().isNull());
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(w->lblText->text(), "Drag && Drop Files Here");
    EXPECT_LE(w->lblText->sizeHint().width(), w->lblText->width());  // not clipped
    EXPECT_EQ(label(), "Page Number Of Selected File: 0");
    // A three-digit page number still ends before the document-title column.
    EXPECT_LT(w->lblPageNum->x() + QFontMetrics(w->lblPageNum->font())
                                       .horizontalAdvance("Page Number of Selected File: 100"),
              w->lblTitle->x());
    EXPECT_EQ(w->txtPath->text(), "C:\\output");
    EXPECT_EQ(w->txtTitle->text(), "New PDF Document");
    EXPECT_TRUE(w->txtConvert->isHidden());
    EXPECT_TRUE(w->imgAddData->isHidden());
    EXPECT_FALSE(w->imgAddData->pixmap().isNull());
    EXPECT_TRUE(w->imgAdd->pixmap().isNull());

    const QStringList captions{"Add", "Add Folder", "Remove", "Clean", "Move Down", "Exit",
                               "Move Up"};
    const QStringList tips{"Add a PDF File", "Add PDF Files from a Folder",
                           "Remove File(s) from List", "Remove all from File List",
                           "Move selected Down", "Exit", "Up"};
    ASSERT_EQ(w->CmdToolsBar.size(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(w->CmdToolsBar[i]->text(), captions[i]);
        EXPECT_EQ(w->CmdToolsBar[i]->toolTip(), tips[i]);
        EXPECT_FALSE(w->CmdToolsBar[i]->icon().pixmap(32, 32).isNull()) << i;
    }
    // Left to right: 0, 1, 2, 3, 6, 4, and Exit at the right.
    QList<int> order{0, 1, 2, 3, 6, 4, 5};
    for (int k = 1; k < order.size(); ++k)
        EXPECT_LT(w->CmdToolsBar[order[k - 1]]->geometry().right(),
                  w->CmdToolsBar[order[k]]->geometry().left());
}

TEST_F(Lists, RemoveTakesTheSelectedEntryFromBothListsAndNothingWithoutSelection) {
    fill({"a", "b", "c"});
    w->CmdToolsBar_Click(2);  // nothing selected
    EXPECT_EQ(texts(w->List2), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(w->List1->count(), 3);
    EXPECT_TRUE(w->picDoor->isHidden());

    select(0);
    w->CmdToolsBar_Click(2);
    EXPECT_EQ(texts(w->List2), (QStringList{"b", "c"}));
    EXPECT_EQ(texts(w->List1), (QStringList{"work:b", "work:c"}));
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(label(), "Page Number of Selected File: 1");  // kept from the selection

    select(1);
    w->picText->hide();
    w->CmdToolsBar_Click(2);
    EXPECT_EQ(texts(w->List2), (QStringList{"b"}));
    EXPECT_EQ(texts(w->List1), (QStringList{"work:b"}));
    EXPECT_TRUE(w->picText->isHidden());

    select(0);
    w->CmdToolsBar_Click(2);
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_EQ(w->List2->count(), 0);
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(label(), "Page Number of Selected File: 1");

    // An empty list: nothing happens at all.
    w->picText->hide();
    w->CmdToolsBar_Click(2);
    EXPECT_TRUE(w->picText->isHidden());
}

TEST_F(Lists, CleanEmptiesBothListsAndShowsTheHintEvenWhenEmpty) {
    fill({"a", "b"});
    select(1);
    w->picText->hide();
    w->CmdToolsBar_Click(3);
    EXPECT_EQ(w->List1->count(), 0);
    EXPECT_EQ(w->List2->count(), 0);
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(label(), "Page Number of Selected File: 2");
    w->picText->hide();
    w->CmdToolsBar_Click(3);
    EXPECT_FALSE(w->picText->isHidden());
}

TEST_F(Lists, MoveDownFromThreeOfFiveSwapsBothListsAndFollowsTheEntry) {
    fill({"1", "2", "3", "4", "5"});
    select(2);
    w->CmdToolsBar_Click(4);
    EXPECT_EQ(texts(w->List2), (QStringList{"1", "2", "4", "3", "5"}));
    EXPECT_EQ(texts(w->List1), (QStringList{"work:1", "work:2", "work:4", "work:3", "work:5"}));
    EXPECT_EQ(selected(), 3);
    EXPECT_EQ(label(), "Page Number of Selected File: 4");

    w->CmdToolsBar_Click(6);
    w->CmdToolsBar_Click(6);
    EXPECT_EQ(texts(w->List2), (QStringList{"1", "3", "2", "4", "5"}));
    EXPECT_EQ(texts(w->List1), (QStringList{"work:1", "work:3", "work:2", "work:4", "work:5"}));
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(label(), "Page Number of Selected File: 2");
}

TEST_F(Lists, MovesAtTheEndsOrWithoutSelectionChangeNothing) {
    fill({"1", "2", "3"});
    const auto unchanged = [&](int sel) {
        EXPECT_EQ(texts(w->List2), (QStringList{"1", "2", "3"}));
        EXPECT_EQ(texts(w->List1), (QStringList{"work:1", "work:2", "work:3"}));
        EXPECT_EQ(selected(), sel);
    };
    w->CmdToolsBar_Click(4);
    w->CmdToolsBar_Click(6);
    unchanged(-1);
    EXPECT_EQ(label(), "Page Number Of Selected File: 0");
    select(0);
    w->CmdToolsBar_Click(6);
    unchanged(0);
    select(2);
    w->CmdToolsBar_Click(4);
    unchanged(2);
    w->CmdToolsBar_Click(99);  // an unknown index only uncovers the lists
    unchanged(2);
}

TEST_F(Lists, ClickingAnEntryShowsItsPageNumber) {
    fill({"1", "2", "3"});
    select(2);
    EXPECT_EQ(label(), "Page Number of Selected File: 3");
    w->List1->setCurrentRow(0);
    EXPECT_EQ(label(), "Page Number of Selected File: 1");
}

// Only the user's pick (a click or the arrow keys) changes the label; the list taking the
// focus, which makes its first row current, does not.
TEST_F(Lists, OnlyTheUsersPickChangesThePageNumber) {
    fill({"1", "2", "3"});
    w->picDoor->hide();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(testing_support::waitUntil([&] { return w->isActiveWindow(); }));
    w->List2->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(w->List2->currentRow(), 0);
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(label(), "Page Number Of Selected File: 0");

    const QPointF at = w->List2->visualItemRect(w->List2->item(1)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->List2->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w->List2->viewport(), &e);
    }
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(label(), "Page Number of Selected File: 2");
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(w->List2, &down);
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(label(), "Page Number of Selected File: 3");
}

TEST_F(Lists, AConversionRunLeavesThePageNumberAsItWas) {
    QTemporaryDir program, pictures;
    testing_support::writeScript(program.path() + "/pdftk.exe", "exec -a pdftk.exe pdftk \"$@\"");
    testing_support::linkBuiltProgram(program.path(), "folipress-decoder");
    forms::App::setPathOverride(win::fromHostPath(program.path()));
    w->dosRunner = new DOSOutputs(w.get());
    for (const QString name : {"a.png", "b.png"}) {
        QImage page(40, 30, QImage::Format_RGB32);
        page.fill(Qt::darkCyan);
        ASSERT_TRUE(page.save(pictures.path() + "/" + name, "PNG"));
        w->List1->addItem(win::fromHostPath(pictures.path() + "/" + name));
        w->List2->addItem(name);
    }
    w->picDoor->hide();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(testing_support::waitUntil([&] { return w->isActiveWindow(); }));
    w->Command3->setFocus();
    w->Command3->click();
    forms::App::setPathOverride(QString());

    EXPECT_EQ(shell.opened, QStringList{"C:\\output"}) << "the run did not finish";
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(label(), "Page Number Of Selected File: 0");
}

// Runs one action on a fresh window holding the same entries and selection.
struct Outcome {
    QStringList list1, list2;
    int selected;
    QString label;
    bool doorHidden, hintHidden;
    int fileDialogs, folderBrowsers;
    bool windowVisible;
    bool operator==(const Outcome&) const = default;
};

static Outcome runOn(const std::function<void(frmPrinting&)>& action) {
    WindowParts f;
    f.fill({"1", "2", "3", "4"});
    f.select(1);
    f.w->picText->hide();
    f.w->show();
    action(*f.w);
    return {f.texts(f.w->List1), f.texts(f.w->List2), f.selected(), f.label(),
            f.w->picDoor->isHidden(), f.w->picText->isHidden(), int(f.dialogs.fileRequests.size()),
            int(f.browser.requests.size()), f.w->isVisible()};
}

TEST(ListsMenus, EveryMenuItemDoesWhatItsButtonDoes) {
    const QList<QPair<QAction* frmPrinting::*, int>> items{
        {&frmPrinting::menuAdd, 0},      {&frmPrinting::menuFolder, 1},
        {&frmPrinting::menuRemove, 2},   {&frmPrinting::menuRemoveAll, 3},
        {&frmPrinting::menuDown, 4},     {&frmPrinting::menuUp, 6},
    };
    for (const auto& [member, index] : items) {
        const Outcome byMenu = runOn([m = member](frmPrinting& w) { (w.*m)->trigger(); });
        const Outcome byButton = runOn([i = index](frmPrinting& w) { w.CmdToolsBar[i]->click(); });
        EXPECT_TRUE(byMenu == byButton) << "index " << index;
        EXPECT_TRUE(byMenu.doorHidden);
    }
    // Captions of the menus and their items.
    frmPrinting w;
    QStringList seen;
    for (QAction* top : w.menuBar()->actions()) {
        seen << top->text();
        for (QAction* a : top->menu()->actions()) seen << (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(seen, (QStringList{"File", "Add a File", "Add Folder", "-", "Exit", "Remove",
                                 "Remove a File", "Remove All Files", "Control", "Move Up",
                                 "Move Down", "About", "Website", "-", "About"}));
}

TEST_F(Lists, AboutAndWebsiteShowTheSuitesOwnPageAndNotice) {
    w->menuWeb->trigger();
    EXPECT_EQ(shell.opened, (QStringList{"https://lumidoc.example/"}));
    w->menuAbout->trigger();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].title, "about");
    EXPECT_EQ(ui.shown[0].style, forms::vbOKOnly);
    EXPECT_TRUE(ui.shown[0].prompt.contains("Lumidoc"));
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
}

TEST_F(Lists, TheFocusSweepEndsOnTheLastButtonThatCanTakeIt) {
    w->FocusToolButtons();
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
    w->txtTitle->setFocus();
    w->CmdToolsBar[6]->setEnabled(false);
    w->FocusToolButtons();
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[5]);
    w->txtTitle->setFocus();
    for (QPushButton* b : w->CmdToolsBar) b->setEnabled(false);
    w->FocusToolButtons();
    EXPECT_EQ(w->focusWidget(), w->txtTitle);
}

TEST_F(Lists, BrowseTakesAnExistingFolderAndFallsBackOnCancelOrUnknownCharacters) {
    const QString good = driveC.hostPath("out put");
    const QString greek = driveC.hostPath("έξοδος");
    QDir().mkpath(good);
    QDir().mkpath(greek);

    browser.answerFolder(good);
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtPath->text(), "C:\\out put");
    EXPECT_TRUE(ui.shown.isEmpty());
    ASSERT_EQ(browser.requests.size(), 1);
    EXPECT_EQ(browser.requests[0].title, "Please select a folder:");
    EXPECT_EQ(browser.requests[0].flags, 1u);
    EXPECT_EQ(browser.requests[0].owner, w.get());
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);

    const QString message =
        "The path has unknown characters.\r\nChanged to the default path C:\\Output.";
    // Cancel without C:\output: the default and the message.
    browser.answerCancel();
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtPath->text(), "C:\\output");
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, message);
    EXPECT_EQ(ui.shown[0].title, "Path");
    EXPECT_EQ(ui.shown[0].style, forms::vbOKOnly);

    // Cancel with C:\output there: quietly the default.
    QDir().mkpath(driveC.hostPath("output"));
    w->txtPath->setText("C:\\out put");
    browser.answerCancel();
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtPath->text(), "C:\\output");
    EXPECT_EQ(ui.shown.size(), 1);

    // A folder the ANSI code page cannot carry.
    browser.answerFolder(greek);
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtPath->text(), "C:\\output");
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_EQ(ui.shown[1].prompt, message);
}

TEST_F(Lists, FolderExistsOnlyForFoldersTheAnsiInterfaceCanName) {
    QDir().mkpath(driveC.hostPath("plain"));
    QDir().mkpath(driveC.hostPath("ελ"));
    testing_support::writeFile(driveC.hostPath("file.txt"), "x");
    EXPECT_TRUE(w->FolderExists("c:\\plain"));
    EXPECT_TRUE(w->FolderExists("C:\\PLAIN"));
    EXPECT_FALSE(w->FolderExists("c:\\ελ"));
    EXPECT_FALSE(w->FolderExists("c:\\??"));
    EXPECT_FALSE(w->FolderExists("c:\\file.txt"));
    EXPECT_FALSE(w->FolderExists("c:\\missing"));
    EXPECT_FALSE(w->FolderExists(""));
}

static void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    const QPointF at(5, 5);
    QMouseEvent e(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

TEST_F(Lists, ThePictureButtonLightsUpUnderTheMouseAndAddsWhenClicked) {
    sendMouse(w->imgAdd, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w->imgAdd->pixmap().cacheKey(), w->imgAddData->pixmap().cacheKey());
    sendMouse(w->picDoor, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(w->imgAdd->pixmap().isNull());
    sendMouse(w->imgAdd, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
    sendMouse(w->imgAdd, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(w->imgAdd->pixmap().isNull());
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    sendMouse(w->imgAdd, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(dialogs.fileRequests.size(), 1);  // the Add action, cancelled
    EXPECT_TRUE(w->picDoor->isHidden());
}

TEST_F(Lists, ADragOverTheListUncoversIt) {
    auto data = fileDrop({"/tmp/x.png"});
    QDragEnterEvent e(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->List2->viewport(), &e);
    EXPECT_TRUE(e.isAccepted());
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_EQ(w->List2->count(), 0);
}

TEST(ListsExit, ExitByButtonMenuOrCloseBoxEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing_support::TemporaryFolderForChildren scratch;
    const auto exitsBy = [](const std::function<void(frmPrinting&)>& action) {
        WindowParts f;
        f.w->show();
        action(*f.w);
    };
    EXPECT_EXIT(exitsBy([](frmPrinting& w) { w.CmdToolsBar[5]->click(); }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(exitsBy([](frmPrinting& w) { w.menuExit->trigger(); }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(exitsBy([](frmPrinting& w) { w.close(); }), ::testing::ExitedWithCode(0), "");
}
