// The launcher on screens of other densities and sizes. Each screen needs a process of its
// own: the test runs this program again on an offscreen screen described by a config file, and
// that run reports what it measured.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "forms/App.h"
#include "frmSplash.h"

using testing_support::waitUntil;

namespace {

const char* kChildVariable = "LUMIDOC_SPLASH_SCREEN_CHILD";

struct Measures {
    QMap<QString, QString> values;
    QString operator[](const QString& key) const { return values.value(key, "<missing>"); }
};

// Runs the measuring test below on a screen of the given size and logical dpi.
Measures measureOn(int width, int height, int dpi) {
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    testing_support::writeFile(
        config, QString(R"({"screens":[{"name":"test","x":0,"y":0,"width":%1,"height":%2,)"
                        R"("logicalDpi":%3,"logicalBaseDpi":%3,"dpr":1}]})")
                    .arg(width)
                    .arg(height)
                    .arg(dpi)
                    .toUtf8());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    env.insert(kChildVariable, "1");
    env.insert("XDG_RUNTIME_DIR", dir.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=SplashScreenChild.Measure"});
    EXPECT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    Measures m;
    const QRegularExpression pair(R"(MEASURE (\S+)=(\S+))");
    for (auto it = pair.globalMatch(out); it.hasNext();) {
        const auto match = it.next();
        m.values.insert(match.captured(1), match.captured(2));
    }
    return m;
}

void report(const char* key, const QString& value) {
    std::printf("MEASURE %s=%s\n", key, value.toUtf8().constData());
    std::fflush(stdout);
}

QString rect(const QRect& r) {
    return QString("%1,%2,%3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

// Runs only as the child of the tests below.
TEST(SplashScreenChild, Measure) {
    if (qEnvironmentVariableIsEmpty(kChildVariable)) GTEST_SKIP() << "runs inside the screen tests";
    frmSplash f;
    ASSERT_TRUE(f.Form_Load());
    report("tpp", QString::number(forms::App::twipsPerPixelX()));
    report("startLeft", QString::number(f.form().left()));
    report("startPos", QString("%1,%2").arg(f.x()).arg(f.y()));
    report("formTwips", QString("%1x%2").arg(f.form().width()).arg(f.form().height()));
    report("window", QString("%1x%2").arg(f.width()).arg(f.height()));
    report("imgFolipressLeft", QString::number(f.control("imgFolipress").left()));
    report("imgFolipress", rect(f.imgFolipress->geometry()));
    report("imgLumidoc", rect(f.imgLumidoc->geometry()));
    report("Image1", rect(f.Image1->geometry()));
    report("labelFont", QString::number(f.lblFolipress->font().pointSizeF()));
    report("labelFont2", QString::number(f.lblLumidoc->font().pointSizeF()));
    report("labelPixelHeight", QString::number(QFontInfo(f.lblFolipress->font()).pixelSize()));
    f.show();
    ASSERT_TRUE(waitUntil([&] { return !f.Timer1->isActive(); }, 3000));
    report("left", QString::number(f.form().left()));
    report("top", QString::number(f.form().top()));
    report("pos", QString("%1,%2").arg(f.x()).arg(f.y()));
}

TEST(SplashScreens, KeepsItsPixelSizesAt120Dpi) {
    const Measures m = measureOn(800, 800, 120);
    EXPECT_EQ(m["tpp"], "12");
    EXPECT_EQ(m["formTwips"], "6000x3600");
    EXPECT_EQ(m["window"], "500x300");
    // Every figure times 12/15: 4150 twips become 3320, still 277 pixels from the left.
    EXPECT_EQ(m["imgFolipressLeft"], "3320");
    EXPECT_EQ(m["imgFolipress"], "277,71,167x167");
    EXPECT_EQ(m["imgLumidoc"], "49,71,166x166");
    EXPECT_EQ(m["Image1"], "484,4,11x15");
    // 9 pt becomes 7.2 pt: the same 12 pixels at 120 dpi.
    EXPECT_EQ(m["labelFont"], "7.2");
    EXPECT_EQ(m["labelFont2"], "7.2");
    EXPECT_EQ(m["labelPixelHeight"], "12");
    // Off the screen by the design size (7600 twips) before scaling.
    EXPECT_EQ(m["startLeft"], "-7600");
    EXPECT_EQ(m["startPos"], "-633,-383");
    // (9600 - 6000) / 2 and (9600 - 3600) / 2 twips.
    EXPECT_EQ(m["left"], "1800");
    EXPECT_EQ(m["top"], "3000");
    EXPECT_EQ(m["pos"], "150,250");
}

TEST(SplashScreens, CentringRoundsHalfTwipsToEven) {
    // 1281 x 1023 pixels at 15 twips per pixel: (19215 - 7500) / 2 = 5857.5 becomes 5858,
    // (15345 - 4500) / 2 = 5422.5 becomes 5422.
    const Measures m = measureOn(1281, 1023, 96);
    EXPECT_EQ(m["tpp"], "15");
    EXPECT_EQ(m["window"], "500x300");
    EXPECT_EQ(m["labelFont"], "9");
    EXPECT_EQ(m["left"], "5858");
    EXPECT_EQ(m["top"], "5422");
    EXPECT_EQ(m["pos"], "391,361");
}
