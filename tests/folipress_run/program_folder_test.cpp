// The program folder's pdftk.exe: started from a class-data archive of its Java machine when the
// folder was laid out with one, silently as a plain pdftk whenever the archive cannot serve.
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "RunKit.h"
#include "TestSupport.h"

using testing_support::readFile;
using testing_support::runProgram;
using testing_support::writeFile;
using testing_support::writeScript;

namespace {

const QString kLayout = QStringLiteral(LUMIDOC_SOURCE_DIR "/tools/layout-program-folder.sh");

struct PdftkArchive : ::testing::Test {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.path() + "/" + name; }

    PdftkArchive() {
        for (const char* name : {"a.pdf", "b.pdf"}) {
            QPdfWriter pdf(path(name));
            pdf.setPageSize(QPageSize(QPageSize::A6));
            QPainter(&pdf).drawText(20, 20, name);
        }
    }

    // Lays out a program folder with the programs of `binFirst` (when given) found first.
    int layOut(const QString& folder, bool archive, const QString& binFirst = QString()) {
        return runProgram("bash", {"-c", "PATH=\"$1$PATH\" \"$2\" $3 \"$4\"", "bash",
                                   binFirst.isEmpty() ? QString() : binFirst + ":", kLayout,
                                   archive ? "--pdftk-archive" : "", folder});
    }
    // Joins a.pdf and b.pdf with the folder's pdftk.exe; what it printed, or "exit N" on failure.
    // Java notes where each class came from, so archiveUsed() can tell afterwards. It keeps no
    // monitoring file: those go by process number into one folder of /tmp, and test programs in
    // process tables of their own share process numbers.
    QString join(const QString& folder, const QString& binFirst = QString()) {
        QFile::remove(path("joined.pdf"));
        QFile::remove(path("classes.log"));
        const QString options = "-XX:-UsePerfData -Xlog:class+load=info:file=" + path("classes.log");
        const int rc = runProgram(
            "bash", {"-c", "cd \"$3\" && PATH=\"$1$PATH\" JAVA_TOOL_OPTIONS=\"$4\" \"$2/pdftk.exe\" "
                           "a.pdf b.pdf cat output joined.pdf dont_ask >printed 2>&1",
                     "bash", binFirst.isEmpty() ? QString() : binFirst + ":", folder, dir.path(), options});
        // Java's own word that it took the option is all it may print.
        const QString printed = QString::fromUtf8(readFile(path("printed")))
                                    .remove("Picked up JAVA_TOOL_OPTIONS: " + options + "\n");
        return rc == 0 ? printed : printed + QString("exit %1").arg(rc);
    }
    // True when the last join loaded pdftk's own classes from the folder's archive: Java's own
    // classes come from the archive Java brings whenever it can.
    bool archiveUsed() {
        static const QRegularExpression pdftkClassFromArchive(
            QStringLiteral("\\] (?!(java|javax|jdk|sun|com\\.sun)\\.)\\S+ source: shared objects file$"),
            QRegularExpression::MultilineOption);
        return QString::fromUtf8(readFile(path("classes.log"))).contains(pdftkClassFromArchive);
    }
    int joinedPages() { return runkit::pdfInfo(path("joined.pdf")).value("Pages").toInt(); }
    static ino_t inode(const QString& file) {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
    }
};

}  // namespace

TEST_F(PdftkArchive, MadeOnceForTheInstalledJavaAndPdftkAndUsedSilently) {
    const QString folder = path("program");
    ASSERT_EQ(layOut(folder, true), 0);
    ASSERT_TRUE(QFileInfo(folder + "/pdftk.jsa").isFile());
    EXPECT_EQ(join(folder), "");
    EXPECT_TRUE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);

    // Laid out again with nothing changed: the same archive. A different Java or pdftk (here: a
    // stamp that no longer matches) makes a new one.
    const ino_t first = inode(folder + "/pdftk.jsa");
    // A second name keeps the first archive's inode, so a new archive cannot be given its number.
    ASSERT_EQ(::link(QFile::encodeName(folder + "/pdftk.jsa").constData(),
                     QFile::encodeName(path("first.jsa")).constData()), 0);
    ASSERT_EQ(layOut(folder, true), 0);
    EXPECT_EQ(inode(folder + "/pdftk.jsa"), first);
    writeFile(folder + "/pdftk.jsa.stamp", "another Java\n");
    ASSERT_EQ(layOut(folder, true), 0);
    EXPECT_NE(inode(folder + "/pdftk.jsa"), first);
    EXPECT_EQ(join(folder), "");
    EXPECT_TRUE(archiveUsed());

    // An archive that does not fit is passed over without a word.
    QFile::remove(folder + "/pdftk.jsa");
    writeFile(folder + "/pdftk.jsa", "no class-data archive at all");
    EXPECT_EQ(join(folder), "");
    EXPECT_FALSE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);

    // Laid out without one (as the tests' folders are): no archive, a plain start.
    ASSERT_EQ(layOut(folder, false), 0);
    EXPECT_FALSE(QFileInfo::exists(folder + "/pdftk.jsa"));
    EXPECT_EQ(join(folder), "");
    EXPECT_FALSE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);
}

TEST_F(PdftkArchive, APdftkWhoseFilesChangedOrMovedStillJoins) {
    // pdftk's own files, copied, behind a launcher of pdftk's kind.
    const QString bin = path("bin"), jars = path("jars");
    writeScript(path("probe/java"), "for a; do echo \"$a\"; done > '" + path("probe/args") + "'");
    ASSERT_EQ(runProgram("bash", {"-c", "PATH=\"$1:$PATH\" pdftk >/dev/null 2>&1; true", "bash", path("probe")}), 0);
    const QStringList args = QString::fromUtf8(readFile(path("probe/args"))).split('\n', Qt::SkipEmptyParts);
    const int cp = int(args.indexOf("-cp"));
    ASSERT_GE(cp, 0) << "pdftk is no Java launcher here";
    QDir().mkpath(jars);
    QStringList copied;
    for (const QString& jar : args[cp + 1].split(':')) {
        copied << jars + "/" + QFileInfo(jar).fileName();
        ASSERT_TRUE(QFile::copy(jar, copied.last()));
    }
    writeScript(bin + "/pdftk", "exec java -cp " + copied.join(':') + " " + args.mid(cp + 2).join(' ') + " \"$@\"");

    const QString folder = path("program");
    ASSERT_EQ(layOut(folder, true, bin), 0);
    ASSERT_TRUE(QFileInfo(folder + "/pdftk.jsa").isFile());
    EXPECT_EQ(join(folder, bin), "");
    EXPECT_TRUE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);

    // A jar changed since: Java refuses the archive, silently.
    ASSERT_EQ(runProgram("touch", {"-d", "2001-01-01", copied.last()}), 0);
    EXPECT_EQ(join(folder, bin), "");
    EXPECT_FALSE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);

    // The jars gone (pdftk installed elsewhere): the installed pdftk is started as it is.
    QDir(jars).removeRecursively();
    EXPECT_EQ(join(folder), "");
    EXPECT_FALSE(archiveUsed());
    EXPECT_EQ(joinedPages(), 2);
}

TEST_F(PdftkArchive, NoArchiveWhenPdftkIsNoJavaProgramOrItsJavaCannotMakeOne) {
    const QString bin = path("bin");
    const QString folder = path("program");
    writeScript(bin + "/pdftk", "echo a pdftk of another kind");
    ASSERT_EQ(layOut(folder, true, bin), 0);
    EXPECT_FALSE(QFileInfo::exists(folder + "/pdftk.jsa"));
    EXPECT_EQ(readFile(folder + "/pdftk.exe"), "#!/bin/bash\nexec -a pdftk.exe pdftk \"$@\"\n");

    writeScript(bin + "/pdftk", "exec java -cp " + path("nothing.jar") + " no.such.Main \"$@\"");
    ASSERT_EQ(layOut(folder, true, bin), 0);
    EXPECT_FALSE(QFileInfo::exists(folder + "/pdftk.jsa"));
    EXPECT_EQ(readFile(folder + "/pdftk.exe"), "#!/bin/bash\nexec -a pdftk.exe pdftk \"$@\"\n");
}
