// Start-up and shutdown of the text-recognition program: program-wide state, work folders,
// the "Getting Started" window, the special folders and the settings copy at exit.
#include "CommonDlgsW.h"
#include "Form1.h"
#include "FormTestSupport.h"
#include "ScopedEnvironment.h"
#include "ProgramVariables.h"
#include "frmWizard.h"
#include "modSpecialFolder.h"
#include "skin/SkinH.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using form_test::Scene;
using form_test::WhenModal;
using testing_support::readFile;
using testing_support::waitUntil;
using testing_support::writeFile;

namespace {

// Points the per-user folders at a scratch folder for the life of the object.
class ScratchHomeFolders {
public:
    ScratchHomeFolders()
        : config_(qgetenv("XDG_CONFIG_HOME")), data_(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    }
    ~ScratchHomeFolders() {
        restore("XDG_CONFIG_HOME", config_);
        restore("XDG_DATA_HOME", data_);
    }
    QString config(const QString& rel = QString()) const { return dir.path() + "/config" + rel; }
    QString data(const QString& rel = QString()) const { return dir.path() + "/data" + rel; }
    QTemporaryDir dir;

private:
    static void restore(const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QByteArray config_, data_;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { form.endProgram = [this] { ++ended; }; }
    bool wizardShownAtStart(const std::function<void(frmWizard*)>& act = {}) {
        WhenModal watch([&](QWidget* w) {
            auto* wizard = qobject_cast<frmWizard*>(w);
            if (wizard && act)
                act(wizard);
            w->close();
        });
        form.show();
        EXPECT_TRUE(form.Form_Load());
        EXPECT_TRUE(waitUntil([&] { return !form.Timer2->isActive(); }, 15000));
        waitUntil([&] { return watch.seen; }, 300);
        return watch.seen;
    }

    Scene scene;
    Form1 form;
    int ended = 0;
};

TEST_F(StartupTest, LoadResetsStateAndClearsTheWorkFolders) {
    LangIndex = 7;
    BookmarkPaneShown = 0;
    form.ViewState = 4;
    ASSERT_TRUE(writeFile(scene.driveC("OCRtmp/0001.tif"), "old page"));
    ASSERT_TRUE(writeFile(scene.driveC("tmp/tmpocr.tmp"), "old copy"));
    const int attached = SkinH_AttachCount();

    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(LangIndex, 0);
    EXPECT_EQ(BookmarkPaneShown, 1);
    EXPECT_EQ(form.ViewState, 1);
    EXPECT_EQ(SkinH_AttachCount(), attached + 1);
    ASSERT_NE(dlgOpen, nullptr);
    EXPECT_EQ(dlgOpen->Filter, "All files (*.*)|*.*");
    EXPECT_TRUE(QDir(scene.driveC("OCRtmp")).exists());
    EXPECT_TRUE(QDir(scene.driveC("OCRtmp")).isEmpty());
    EXPECT_FALSE(QDir(scene.driveC("tmp")).exists());
    EXPECT_TRUE(form.Timer2->isActive());
    EXPECT_EQ(form.Timer2->interval(), 100);
    form.Timer2->stop();
}

TEST_F(StartupTest, GettingStartedShowsWhileTheSettingSaysOne) {
    ASSERT_TRUE(writeFile(scene.program("wizard.ini"), "1\r\n"));
    QString title, check, close;
    bool picture = false;
    EXPECT_TRUE(wizardShownAtStart([&](frmWizard* w) {
        title = w->windowTitle();
        check = w->Check1->text();
        close = w->Command1->text();
        picture = !w->Picture1->pixmap().isNull();
        w->Command1->click();  // closed without the tick: shown again next time
    }));
    EXPECT_EQ(title, "Getting Started");
    EXPECT_EQ(check, "Never show this window");
    EXPECT_EQ(close, "Close This Window");
    EXPECT_TRUE(picture);
    EXPECT_EQ(readFile(scene.program("wizard.ini")), "1\r\n");
}

TEST_F(StartupTest, NeverShowThisWindowWritesZero) {
    ASSERT_TRUE(writeFile(scene.program("wizard.ini"), "\"1\",extra\r\n"));
    EXPECT_TRUE(wizardShownAtStart([](frmWizard* w) {
        w->Check1->setChecked(true);
        w->Command1->click();
    }));
    EXPECT_EQ(readFile(scene.program("wizard.ini")), "0\r\n");
}

TEST_F(StartupTest, NoGettingStartedForZeroMissingEmptyOrUnreadableSettings) {
    EXPECT_FALSE(wizardShownAtStart());  // missing
    for (const QByteArray& content : {QByteArray("0\r\n"), QByteArray(""), QByteArray("11\r\n")}) {
        SCOPED_TRACE(content.toStdString());
        ASSERT_TRUE(writeFile(scene.program("wizard.ini"), content));
        form.Timer2->start();
        WhenModal watch([](QWidget* w) { w->close(); });
        ASSERT_TRUE(waitUntil([&] { return !form.Timer2->isActive(); }, 15000));
        waitUntil([&] { return watch.seen; }, 200);
        EXPECT_FALSE(watch.seen);
    }
    QFile::remove(scene.program("wizard.ini"));
    QDir().mkpath(scene.program("wizard.ini"));  // a folder where the file should be
    form.Timer2->start();
    WhenModal watch([](QWidget* w) { w->close(); });
    ASSERT_TRUE(waitUntil([&] { return !form.Timer2->isActive(); }, 15000));
    waitUntil([&] { return watch.seen; }, 200);
    EXPECT_FALSE(watch.seen);
}

TEST_F(StartupTest, AProgramFolderTheCodePageCannotCarryIsToldOnceAndTheProgramGoesOn) {
    const QString folder = scene.program(QString::fromUtf8("Ωμέγα dir"));
    ASSERT_TRUE(QDir().mkpath(folder));
    forms::App::setPathOverride(win::fromHostPath(folder));
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    ASSERT_TRUE(form.Form_Load());
    ASSERT_EQ(scene.ui.shown.size(), 1);
    EXPECT_EQ(scene.ui.shown[0].style, forms::vbCritical);
    EXPECT_TRUE(scene.ui.shown[0].prompt.startsWith("The name of the program folder\r\n" + folder +
                                                    "\r\n"));
    EXPECT_TRUE(scene.ui.shown[0].prompt.contains("(code page 1252)"));
    EXPECT_TRUE(scene.ui.shown[0].prompt.contains("ocr.exe"));
    // The start-up went on to its end.
    EXPECT_TRUE(form.Timer2->isActive());
    form.Timer2->stop();

    // In the folder's own code page nothing is said.
    qputenv("LUMIDOC_ACP", "1253");
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(scene.ui.shown.size(), 1);
    form.Timer2->stop();
}

TEST_F(StartupTest, NeverShowInAnUnwritableProgramFolderStillCloses) {
    forms::App::setPathOverride("C:\\no such folder");
    frmWizard wizard;
    wizard.show();
    wizard.Check1->setChecked(true);
    wizard.Command1->click();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

TEST(SpecialFolder, MapsTheThreeFoldersAndCreatesThemOnRequest) {
    testing_support::ScratchDriveC drive;
    ScratchHomeFolders home;
    using namespace modSpecialFolder;
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, false), "");  // missing, not asked to create
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, true), win::fromHostPath(home.config()));
    EXPECT_TRUE(QDir(home.config()).exists());
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, false), win::fromHostPath(home.config()));
    EXPECT_EQ(GetSpecialFolder(CSIDL_LOCAL_APPDATA, true), win::fromHostPath(home.data()));
    EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_APPDATA, true), "C:\\ProgramData");
    EXPECT_TRUE(QDir(drive.hostPath("ProgramData")).exists());
    // The id may carry the create flag itself.
    QDir(home.data()).removeRecursively();
    EXPECT_EQ(GetSpecialFolder(CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, false),
              win::fromHostPath(home.data()));
    EXPECT_EQ(GetSpecialFolder(5, true), "");  // not one the program knows
    // A relative setting is ignored, as the desktop rules say.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    const QString fallback = GetSpecialFolder(CSIDL_APPDATA, false);
    EXPECT_TRUE(fallback.isEmpty() || fallback == win::fromHostPath(QDir::homePath() + "/.config"))
        << fallback.toStdString();
}

class ShutdownTest : public StartupTest {
protected:
    void SetUp() override {
        StartupTest::SetUp();
        ASSERT_TRUE(writeFile(scene.program("QXLconfig.ini"), "[Lumidoc]\r\nkept=1\r\n"));
        ASSERT_TRUE(writeFile(scene.driveC("ocrtmp/0003.txt"), "page"));
        ASSERT_TRUE(writeFile(scene.driveC("tmp/tmpocr.tmp"), "copy"));
    }
    void expectWorkFoldersGone() {
        EXPECT_FALSE(QDir(scene.driveC("ocrtmp")).exists());
        EXPECT_FALSE(QDir(scene.driveC("OCRtmp")).exists());
        EXPECT_FALSE(QDir(scene.driveC("tmp")).exists());
        EXPECT_EQ(ended, 1);
    }
    ScratchHomeFolders home;
};

TEST_F(ShutdownTest, WithoutQuilletFoldersTheWorkFoldersAreStillDeleted) {
    form.show();
    form.close();
    expectWorkFoldersGone();
    EXPECT_FALSE(form.isVisible());
    // The special folders were made, but nothing was put into them.
    EXPECT_TRUE(QDir(home.config()).exists());
    EXPECT_TRUE(QDir(home.data()).exists());
    EXPECT_FALSE(QFile::exists(home.config("/Quillet/QXLConfig.ini")));
    EXPECT_FALSE(QDir(home.config("/Quillet")).exists());
    // Unloading twice does nothing more.
    form.Form_Unload();
    EXPECT_EQ(ended, 1);
}

TEST_F(ShutdownTest, SettingsAreCopiedWhereAQuilletFolderExists) {
    QDir().mkpath(home.config("/Quillet"));
    QDir().mkpath(scene.driveC("ProgramData/Quillet"));
    ASSERT_TRUE(writeFile(home.config("/Quillet/QXLConfig.ini"), "older"));
    form.Form_Unload();
    EXPECT_EQ(readFile(home.config("/Quillet/QXLConfig.ini")), "[Lumidoc]\r\nkept=1\r\n");
    EXPECT_EQ(readFile(scene.driveC("ProgramData/Quillet/QXLConfig.ini")), "[Lumidoc]\r\nkept=1\r\n");
    EXPECT_FALSE(QDir(home.data("/Quillet")).exists());
    expectWorkFoldersGone();
}

TEST_F(ShutdownTest, AFolderThatCannotBeMadeIsSkippedAndTheOthersStillGetTheirCopy) {
    ASSERT_TRUE(writeFile(home.dir.path() + "/plainfile", "x"));
    qputenv("XDG_CONFIG_HOME", (home.dir.path() + "/plainfile/config").toLocal8Bit());
    QDir().mkpath(home.data("/Quillet"));
    form.Form_Unload();
    EXPECT_EQ(readFile(home.data("/Quillet/QXLConfig.ini")), "[Lumidoc]\r\nkept=1\r\n");
    EXPECT_FALSE(QFile::exists(QDir::rootPath() + "Quillet/QXLConfig.ini"));
    expectWorkFoldersGone();
}

TEST_F(ShutdownTest, AMissingSettingsFileIsSkipped) {
    QFile::remove(scene.program("QXLconfig.ini"));
    QDir().mkpath(home.config("/Quillet"));
    form.Form_Unload();
    EXPECT_FALSE(QFile::exists(home.config("/Quillet/QXLConfig.ini")));
    expectWorkFoldersGone();
}

}  // namespace
