// Start-up and shutdown, the settings file, the creation date and the quality labels.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>

#include <cstdlib>
#include <ctime>

#include "CommonDlgsW.h"
#include "CreationDate.h"
#include "DOSOutputs.h"
#include "Globals.h"
#include "RunKit.h"
#include "ScopedEnvironment.h"
#include "SettingsFile.h"
#include "forms/MessageBox.h"
#include "frmPrinting.h"
#include "skin/SkinH.h"

using testing_support::readFile;
using testing_support::ScratchDriveC;
using testing_support::writeFile;

namespace {

struct Startup : ::testing::Test {
    ScratchDriveC driveC;
    runkit::ProgramFolder program;
    forms::ScriptedUi ui;
    std::unique_ptr<frmPrinting> w;
    Startup() { runkit::privateRuntimeFolder(); }
    frmPrinting& load() {
        w = std::make_unique<frmPrinting>();
        w->Form_Load();
        return *w;
    }
    void settings(const QByteArray& bytes) { writeFile(program.hostPath("setting.dll"), bytes); }
};

// Runs with the zone set, then puts the old one back.
struct Zone {
    QByteArray old = qgetenv("TZ");
    bool had = qEnvironmentVariableIsSet("TZ");
    explicit Zone(const char* tz) {
        qputenv("TZ", tz);
        tzset();
    }
    ~Zone() {
        if (had) qputenv("TZ", old);
        else qunsetenv("TZ");
        tzset();
    }
};

// 01:30:15 on 23 March 2019 local time, with the local zone `hoursEast` ahead of UTC.
std::time_t moment(int hoursEast) {
    std::tm utc{};
    utc.tm_year = 2019 - 1900;
    utc.tm_mon = 2;
    utc.tm_mday = 23;
    utc.tm_hour = 1;
    utc.tm_min = 30;
    utc.tm_sec = 15;
    return timegm(&utc) - hoursEast * 3600;
}

}  // namespace

TEST(SettingsFileForm, FiveQuotedLinesReadBackWhole) {
    ScratchDriveC driveC;
    SettingsFile::Write("c:\\setting.dll", "My Scans", "Ann", "Tax", "", 75);
    EXPECT_EQ(readFile(driveC.hostPath("setting.dll")),
              "\xEF\xBB\xBF\"My Scans\"\r\n\"Ann\"\r\n\"Tax\"\r\n\"\"\r\n\"75\"\r\n");
    EXPECT_EQ(SettingsFile::Read("c:\\setting.dll"), (QStringList{"My Scans", "Ann", "Tax", "", "75"}));

    // Quotes, commas and the code page's own letters come back as typed.
    SettingsFile::Write("c:\\setting.dll", "The \"Q3\" report, final", QString::fromUtf8("Zoë"),
                        "a,b", "k1, k2", 100);
    EXPECT_EQ(SettingsFile::Read("c:\\setting.dll"),
              (QStringList{"The \"Q3\" report, final", QString::fromUtf8("Zoë"), "a,b", "k1, k2", "100"}));
    EXPECT_EQ(readFile(driveC.hostPath("setting.dll")).split('\n')[1], "\"Zo\xC3\xAB\"\r");
}

TEST(SettingsFileForm, QualityMustBeANumberFromZeroToAHundred) {
    int q = -1;
    EXPECT_TRUE(SettingsFile::ParseQuality("75", q));
    EXPECT_EQ(q, 75);
    EXPECT_TRUE(SettingsFile::ParseQuality(" 0 ", q));
    EXPECT_EQ(q, 0);
    EXPECT_TRUE(SettingsFile::ParseQuality("60.5", q));
    EXPECT_EQ(q, 60);  // halves to the even neighbour
    q = 33;
    for (const char* bad : {"", "abc", "101", "-1", "1e9", "75%"}) {
        EXPECT_FALSE(SettingsFile::ParseQuality(bad, q)) << bad;
        EXPECT_EQ(q, 33);
    }
}

TEST(CreationDateText, LocalTimeAndTheZoneOffsetInForce) {
    {
        Zone z("XST-8");  // eight hours ahead of Universal Time
        EXPECT_EQ(CreationDateText(moment(8)), "D:20190323013015+08'00");
    }
    {
        Zone z("XST6");  // six hours behind
        EXPECT_EQ(CreationDateText(moment(-6)), "D:20190323013015-06'00");
    }
    {
        Zone z("XST3:30");  // half hours count too
        EXPECT_EQ(CreationDateText(moment(0) + 3 * 3600 + 1800), "D:20190323013015-03'30");
    }
    {
        // Daylight saving from the second Sunday of March: the offset of that moment is used.
        Zone z("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(CreationDateText(moment(-4)), "D:20190323013015-04'00");
        EXPECT_EQ(CreationDateText(moment(-5) - 60 * 86400), "D:20190122013015-05'00");
    }
    {
        Zone z("UTC0");
        EXPECT_EQ(CreationDateText(moment(0)), "D:20190323013015+00'00");
    }
}

TEST_F(Startup, WithoutSettingsTheDesignTextsStayAndTheFoldersGo) {
    for (const char* f : {"tmpfolipress/a/b.txt", "jpgtmp/0.pdf", "tmp/1.jpeg", "tmp/sub/x"}) {
        writeFile(driveC.hostPath(f), "old");
    }
    writeFile(driveC.hostPath("keep/me.txt"), "mine");
    const int skins = SkinH_AttachCount();
    frmPrinting& f = load();
    EXPECT_FALSE(f.endedAsSecondInstance);
    EXPECT_EQ(f.txtTitle->text(), "New PDF Document");
    EXPECT_EQ(f.txtCreateFor->text(), "Folipress Converter");
    EXPECT_EQ(f.txtSubject->text(), "New Subject");
    EXPECT_EQ(f.txtKeywords->text(), "");
    EXPECT_EQ(f.Slider1->value(), 100);
    EXPECT_EQ(f.lblQuality->text(), "100%");
    EXPECT_EQ(f.lblQtt->text(), "Best");
    EXPECT_TRUE(f.txtCreationDate->text().contains(QRegularExpression("^D:\\d{14}[+-]\\d\\d'\\d\\d$")));
    EXPECT_TRUE(f.dosRunner);
    EXPECT_TRUE(dlgOpen);
    EXPECT_EQ(SkinH_AttachCount(), skins + 1);
    EXPECT_EQ(f.List2->geometry(), f.List1->geometry());
    EXPECT_TRUE(f.List1->isHidden());
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmpfolipress")));
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("jpgtmp")));
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
    EXPECT_TRUE(QFileInfo::exists(driveC.hostPath("keep/me.txt")));
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(Startup, AProgramFolderTheCodePageCannotCarryIsToldOnceAndTheProgramGoesOn) {
    const QString folder = program.hostPath(QString::fromUtf8("Ωμέγα dir"));
    writeFile(folder + "/setting.dll", "\"From the folder\"\r\n");
    forms::App::setPathOverride(win::fromHostPath(folder));
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    frmPrinting& f = load();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith("The name of the program folder\r\n" + folder + "\r\n"));
    EXPECT_TRUE(ui.shown[0].prompt.contains("pdftk.exe"));
    EXPECT_FALSE(f.endedAsSecondInstance);
    EXPECT_EQ(f.txtTitle->text(), "From the folder");

    qputenv("LUMIDOC_ACP", "1253");
    load();
    EXPECT_EQ(ui.shown.size(), 1);
}

TEST_F(Startup, TheSettingsOfTheLastRunComeBack) {
    settings("\"My Scans\"\r\n\"Ann\"\r\n\"Tax\"\r\n\"\"\r\n\"75\"\r\n");
    frmPrinting& f = load();
    EXPECT_EQ(f.txtTitle->text(), "My Scans");
    EXPECT_EQ(f.txtCreateFor->text(), "Ann");
    EXPECT_EQ(f.txtSubject->text(), "Tax");
    EXPECT_EQ(f.txtKeywords->text(), "");
    EXPECT_EQ(f.Slider1->value(), 75);
    EXPECT_EQ(f.lblQuality->text(), "75%");
    EXPECT_EQ(f.lblQtt->text(), "Good");
}

TEST_F(Startup, ShortOrDamagedSettingsKeepWhatTheyCannotGive) {
    settings("\"Only a title\"\r\n\"And an author\"\r\n");
    frmPrinting& f = load();
    EXPECT_EQ(f.txtTitle->text(), "Only a title");
    EXPECT_EQ(f.txtCreateFor->text(), "And an author");
    EXPECT_EQ(f.txtSubject->text(), "New Subject");
    EXPECT_EQ(f.txtKeywords->text(), "");
    EXPECT_EQ(f.Slider1->value(), 100);

    settings("\"T\"\r\n\"A\"\r\n\"S\"\r\n\"K\"\r\n\"fifty\"\r\n");
    frmPrinting& g = load();
    EXPECT_EQ(g.txtKeywords->text(), "K");
    EXPECT_EQ(g.Slider1->value(), 100);
    settings("\"T\"\r\n\"A\"\r\n\"S\"\r\n\"K\"\r\n\"250\"\r\n");
    EXPECT_EQ(load().Slider1->value(), 100);
    settings("");
    EXPECT_EQ(load().txtTitle->text(), "New PDF Document");
    settings(QByteArray("\0\0\xff\xfe garbage", 13));
    frmPrinting& h = load();
    EXPECT_EQ(h.Slider1->value(), 100);
    EXPECT_EQ(h.txtSubject->text(), "New Subject");
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(Startup, QualityLabelsFollowTheSlider) {
    frmPrinting& f = load();
    const struct {
        int value;
        const char* word;
    } cases[] = {{80, "Best"}, {79, "Good"}, {60, "Good"}, {59, "Medium"},
                 {30, "Medium"}, {29, "Low"}, {0, "Low"}, {100, "Best"}};
    for (const auto& c : cases) {
        f.Slider1->setValue(c.value);
        EXPECT_EQ(f.lblQuality->text(), QString::number(c.value) + "%");
        EXPECT_EQ(f.lblQtt->text(), c.word) << c.value;
    }
}

TEST_F(Startup, NowTakesTheMomentOfThePress) {
    frmPrinting& f = load();
    f.txtCreationDate->setText("typed by hand");
    const QString before = CreationDateText();
    f.Command1_Click();
    const QString after = CreationDateText();
    // Same zone and form, so the texts order as the moments do (a stall may pass a second).
    EXPECT_LE(before, f.txtCreationDate->text());
    EXPECT_LE(f.txtCreationDate->text(), after);
}

TEST_F(Startup, UnloadDetachesTheSkinAndEndsTheProgram) {
    frmPrinting& f = load();
    setProgramEnd([](int code) { throw runkit::ProgramEnded{code}; });
    const int skins = SkinH_AttachCount();
    try {
        f.Form_Unload();
        ADD_FAILURE() << "the program did not end";
    } catch (const runkit::ProgramEnded& e) {
        EXPECT_EQ(e.exitCode, 0);
    }
    setProgramEnd(nullptr);
    EXPECT_EQ(SkinH_AttachCount(), skins - 1);
}

// The program itself: a second copy ends at once without a window, leaving the first running.
TEST(Program, ASecondInstanceEndsAtOnceAndSilently) {
    const QString exe = QStringLiteral(LUMIDOC_PROGRAM_DIR "/folipress");
    ASSERT_TRUE(QFileInfo::exists(exe));
    ScratchDriveC driveC;
    QTemporaryDir runtime;
    writeFile(driveC.hostPath("jpgtmp/old.pdf"), "old");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("LUMIDOC_DRIVE_C", driveC.hostPath());
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(exe, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy has loaded once its start-up cleared the old working folders.
    ASSERT_TRUE(testing_support::waitUntil(
        [&] { return !QFileInfo::exists(driveC.hostPath("jpgtmp")); }, 20000));

    writeFile(driveC.hostPath("jpgtmp/second.pdf"), "left alone");
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(exe, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    // It ended before its start-up touched anything.
    EXPECT_TRUE(QFileInfo::exists(driveC.hostPath("jpgtmp/second.pdf")));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(10000);
}
