// Windows paths onto host paths, and the ANSI code page.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

#include "ScopedEnvironment.h"
#include "TestSupport.h"
#include "win/CodePage.h"
#include "win/WinPath.h"

using testing_support::ScratchDriveC;
using testing_support::writeFile;

TEST(WinPath, DriveCMapsIntoItsFolderCaseInsensitively) {
    ScratchDriveC c;
    writeFile(c.hostPath("OCRtmp/Page.TXT"), "x");
    EXPECT_EQ(win::toHostPath("c:\\ocrtmp\\page.txt"), c.hostPath("OCRtmp/Page.TXT"));
    EXPECT_EQ(win::toHostPath("C:\\OCRTMP\\new.tif"), c.hostPath("OCRtmp/new.tif"));
    EXPECT_EQ(win::toHostPath("c:\\missing\\x"), c.hostPath("missing/x"));
    // ".." goes by name and stops at the drive's root, so no C: path leaves the drive's folder.
    EXPECT_EQ(win::toHostPath("c:\\ocrtmp\\.\\..\\tmp\\a"), c.hostPath("tmp/a"));
    EXPECT_EQ(win::toHostPath("c:\\..\\..\\etc\\passwd"), c.hostPath("etc/passwd"));
    EXPECT_EQ(win::toHostPath("c:\\.."), win::driveCFolder());
    EXPECT_EQ(win::toHostPath("Z:\\..\\usr\\..\\etc"), "/etc");
}

TEST(WinPath, DriveZIsTheHostRootAndOtherDrivesDoNotExist) {
    EXPECT_EQ(win::toHostPath("Z:\\usr\\bin"), "/usr/bin");
    EXPECT_EQ(win::toHostPath("z:\\USR\\BIN"), "/usr/bin");
    EXPECT_FALSE(QFileInfo::exists(win::toHostPath("D:\\")));
    EXPECT_TRUE(win::toHostPath("").isEmpty());
}

TEST(WinPath, HostPathsComeBackInWindowsForm) {
    ScratchDriveC c;
    EXPECT_EQ(win::fromHostPath(c.hostPath("tmp/a.jpg")), "C:\\tmp\\a.jpg");
    EXPECT_EQ(win::fromHostPath("/usr/share"), "Z:\\usr\\share");
    EXPECT_EQ(win::toHostPath(win::fromHostPath("/usr/share")), "/usr/share");
    EXPECT_TRUE(win::isDrivePath("c:\\x"));
    EXPECT_FALSE(win::isDrivePath("-l"));
    EXPECT_FALSE(win::isDrivePath("ab:\\"));
}

TEST(WinPath, ProgramFolderIsTheExecutablesFolder) {
    const QString app = win::appPath();
    EXPECT_FALSE(app.endsWith('\\'));
    EXPECT_EQ(win::toHostPath(app), QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

using Environment = testing_support::ScopedEnvironment;

TEST(CodePage, Windows1252CarriesWesternTextOnly) {
    Environment env{{"LUMIDOC_ACP", "1252"}};
    EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("Café Müller €")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("Ελληνικά.jpg")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("a😀b")));
    EXPECT_EQ(win::toAnsi(QString::fromUtf8("é")), QByteArray("\xe9"));
    // What the code page cannot carry becomes "?", one per character (a surrogate pair too).
    EXPECT_EQ(win::toAnsi(QString::fromUtf8("aΩ😀b")), QByteArray("a??b"));
    EXPECT_EQ(win::fromAnsi(QByteArray("\x80")), QString::fromUtf8("€"));
}

TEST(CodePage, ConversionTellsWhetherItLostACharacter) {
    // 932 carries the minus sign one way only: it comes back as a fullwidth hyphen.
    for (auto [codePage, text, lost] : std::initializer_list<std::tuple<const char*, const char*, bool>>{
             {"1252", "Café.pdf", false}, {"1252", "日本.pdf", true}, {"932", "日本.pdf", false},
             {"932", "a−b.pdf", true}, {"no-such-code-page", "a.pdf", true}}) {
        Environment env{{"LUMIDOC_ACP", codePage}};
        bool told = !lost;
        win::toAnsi(QString::fromUtf8(text), &told);
        EXPECT_EQ(told, lost) << codePage << " " << text;
    }
}

TEST(CodePage, AnotherCodePageByEnvironment) {
    Environment env{{"LUMIDOC_ACP", "936"}, {"LC_ALL", "el_GR.UTF-8"}};
    EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("中文.pdf")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("Ελληνικά€😀")));
    EXPECT_EQ(win::fromAnsi(win::toAnsi(QString::fromUtf8("中文"))), QString::fromUtf8("中文"));
    EXPECT_EQ(win::ansiCodePageLabel(), "code page 936");
}

TEST(CodePage, FollowsTheLanguageOfTheLocaleInForce) {
    const QString greek = QString::fromUtf8("Ωμέγα dir");
    {
        Environment env{{"LUMIDOC_ACP", nullptr}, {"LC_ALL", nullptr}, {"LC_CTYPE", nullptr},
                        {"LANG", "el_GR.UTF-8"}};
        EXPECT_TRUE(win::ansiCanCarry(greek));
        EXPECT_EQ(win::toAnsi(greek), QByteArray("\xd9\xec\xdd\xe3\xe1 dir"));
        EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("Café €😀")));
        EXPECT_EQ(win::ansiCodePageLabel(), "code page 1253");
    }
    {
        // LC_ALL before LC_CTYPE before LANG; an empty one does not count.
        Environment env{{"LUMIDOC_ACP", nullptr}, {"LC_ALL", ""}, {"LC_CTYPE", "ja_JP.UTF-8"},
                        {"LANG", "el_GR.UTF-8"}};
        EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("日本語.pdf")));
        EXPECT_FALSE(win::ansiCanCarry(greek));
        Environment all{{"LC_ALL", "ru_RU.UTF-8"}};
        EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("Документ.pdf")));
    }
    for (const char* plain : {"C", "POSIX", "C.UTF-8", ""}) {
        Environment env{{"LUMIDOC_ACP", nullptr}, {"LC_ALL", nullptr}, {"LC_CTYPE", nullptr},
                        {"LANG", plain}};
        EXPECT_FALSE(win::ansiCanCarry(greek)) << plain;
        EXPECT_EQ(win::ansiCodePageName(), "WINDOWS-1252") << plain;
    }
}

TEST(CodePage, EachLanguageGetsThePlatformsCodePage) {
    const struct {
        const char* locale;
        int codePage;
    } cases[] = {
        {"el_GR.UTF-8", 1253}, {"el_CY", 1253},
        {"ru_RU.UTF-8", 1251}, {"uk_UA", 1251}, {"be_BY", 1251}, {"bg_BG", 1251},
        {"sr_RS", 1251}, {"mk_MK", 1251}, {"kk_KZ", 1251}, {"ky_KG", 1251}, {"tt_RU", 1251},
        {"mn_MN", 1251}, {"uz_UZ@cyrillic", 1251},
        {"zh_CN.UTF-8", 936}, {"zh_SG", 936}, {"zh_TW.UTF-8", 950}, {"zh_HK", 950}, {"zh_MO", 950},
        {"ja_JP.eucJP", 932}, {"ko_KR.UTF-8", 949},
        {"tr_TR.UTF-8", 1254}, {"az_AZ", 1254},
        {"pl_PL", 1250}, {"cs_CZ", 1250}, {"sk_SK", 1250}, {"hu_HU", 1250}, {"sl_SI", 1250},
        {"hr_HR", 1250}, {"ro_RO", 1250}, {"sq_AL", 1250}, {"bs_BA", 1250}, {"sr_RS@latin", 1250},
        {"he_IL.UTF-8", 1255}, {"ar_EG.UTF-8", 1256}, {"fa_IR", 1256}, {"ur_PK", 1256},
        {"et_EE", 1257}, {"lv_LV", 1257}, {"lt_LT", 1257}, {"vi_VN", 1258}, {"th_TH.UTF-8", 874},
        {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252}, {"fr_FR", 1252}, {"hi_IN", 1252},
        {"C", 1252}, {"POSIX", 1252}, {"C.UTF-8", 1252}, {"", 1252},
    };
    for (const auto& c : cases) EXPECT_EQ(win::codePageForLocale(c.locale), c.codePage) << c.locale;
}
