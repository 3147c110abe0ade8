// The Unicode text box control: Edit styles and borders, stored and shown text, fonts, focus,
// saved properties with the container's scale mode, and clipped drawing.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "ScopedEnvironment.h"
#include "UniTextBox.h"
#include "forms/Ambient.h"
#include "forms/PictureBox.h"
#include "forms/PropertyBag.h"
#include "forms/SystemColors.h"
#include "win/RuntimeError.h"

using forms::EditWindow;

namespace {

// A shown container holding one control, its Edit made from an empty property bag.
struct Hosted {
    QWidget form;
    UniTextBox* box;
    explicit Hosted(bool readProperties = true) : box(new UniTextBox(&form)) {
        form.resize(320, 240);
        box->setGeometry(10, 10, 200, 100);
        form.show();
        if (readProperties) box->UserControl_ReadProperties(forms::PropertyBag());
    }
};

const QString kGreek = QString::fromUtf8("Καλημέρα κόσμε");
const QString kCjk = QString::fromUtf8("文字認識テキスト");
const QString kEmoji = QString::fromUtf8("📄✅ scans 🗂️");

}  // namespace

TEST(UniTextBoxStyles, StyleWordsFollowMultiLineAndScrollBars) {
    EXPECT_EQ(UniTextBox::editStyle(false, 0), 0x50010100u);
    EXPECT_EQ(UniTextBox::editStyle(false, 3), 0x50010100u);
    EXPECT_EQ(UniTextBox::editStyle(true, 0), 0x500111C4u);
    EXPECT_EQ(UniTextBox::editStyle(true, 1), 0x50111184u);
    EXPECT_EQ(UniTextBox::editStyle(true, 2), 0x50211144u);
    EXPECT_EQ(UniTextBox::editStyle(true, 3), 0x50311184u);
    EXPECT_EQ(UniTextBox::editStyle(true, 4), 0x50010100u);
    EXPECT_EQ(UniTextBox::editStyle(true, -1), 0x50010100u);
}

TEST(UniTextBoxStyles, TheEditTakesItsLineModeWrappingAndBarsFromTheStyle) {
    Hosted h;
    EditWindow* e = h.box->editWindow();
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->isMultiLine());
    EXPECT_EQ(e->windowStyle(), 0x50010100u);

    h.box->setMultiLine(true);
    h.box->setScrollBars(3);
    e = h.box->editWindow();
    ASSERT_TRUE(e->isMultiLine());
    EXPECT_EQ(e->windowStyle(), 0x50311184u);
    EXPECT_TRUE(e->plainTextEdit()->verticalScrollBar()->isVisible());
    EXPECT_TRUE(e->plainTextEdit()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(e->plainTextEdit()->lineWrapMode(), QPlainTextEdit::NoWrap);

    h.box->setScrollBars(2);  // vertical bar, lines wrap at the edge
    e = h.box->editWindow();
    EXPECT_TRUE(e->plainTextEdit()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(e->plainTextEdit()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(e->plainTextEdit()->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    h.box->setScrollBars(0);
    e = h.box->editWindow();
    EXPECT_FALSE(e->plainTextEdit()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(e->plainTextEdit()->horizontalScrollBar()->isVisible());

    for (int other : {4, 7, -1}) {
        h.box->setScrollBars(other);
        e = h.box->editWindow();
        EXPECT_FALSE(e->isMultiLine()) << other;
        EXPECT_NE(e->lineEdit(), nullptr);
    }
}

TEST(UniTextBoxStyles, BorderStylesSetTheEdgesAndPlaceTheEdit) {
    Hosted h;
    struct Case { int style; quint32 exStyle; int frame; QRect geometry; };
    const Case cases[] = {
        {0, 0x0, 0, QRect(0, 0, 200, 100)},
        {1, 0x20000, 1, QRect(1, 1, 198, 98)},
        {2, 0x200, 2, QRect(2, 2, 196, 96)},
        {5, 0x0, 0, QRect(5, 5, 190, 90)},
    };
    for (const Case& c : cases) {
        h.box->setBorderStyle(c.style);
        EditWindow* e = h.box->editWindow();
        EXPECT_EQ(e->windowExStyle(), c.exStyle) << c.style;
        EXPECT_EQ(e->windowStyle() & 0x840000u, 0u);
        EXPECT_EQ(e->frameWidth(), c.frame) << c.style;
        EXPECT_EQ(e->geometry(), c.geometry) << c.style;
    }
    h.box->setBorderStyle(2);
    h.box->resize(300, 50);
    EXPECT_EQ(h.box->editWindow()->geometry(), QRect(2, 2, 296, 46));
    EXPECT_EQ(h.box->ScaleWidth(), 300);
    EXPECT_EQ(h.box->ScaleHeight(), 50);
}

TEST(UniTextBoxText, StoredTextAndTheEditsText) {
    Hosted h(false);
    EXPECT_EQ(h.box->editWindow(), nullptr);
    h.box->setText("before");
    EXPECT_EQ(h.box->Text(), "before");
    h.box->UserControl_ReadProperties(forms::PropertyBag());  // makes the Edit
    EXPECT_EQ(h.box->editWindow()->text(), "before");

    h.box->setText("after");
    EXPECT_EQ(h.box->Text(), "after");
    // Typed text goes to the Edit only as well.
    h.box->editWindow()->lineEdit()->setText("typed");
    EXPECT_EQ(h.box->Text(), "typed");
    // A new Edit is made from the stored text.
    h.box->setMultiLine(true);
    EXPECT_EQ(h.box->Text(), "before");
    h.box->setText("");
    EXPECT_EQ(h.box->Text(), "");
}

TEST(UniTextBoxText, MultiLineTextKeepsItsLineBreaks) {
    Hosted h;
    h.box->setMultiLine(true);
    h.box->setText("one\r\ntwo\r\n\r\nfour");
    EXPECT_EQ(h.box->Text(), "one\r\ntwo\r\n\r\nfour");
    EXPECT_EQ(h.box->editWindow()->plainTextEdit()->blockCount(), 4);
}

TEST(UniTextBoxText, TextOutsideTheAnsiCodePageIsKeptAndShownExactly) {
    Hosted h;
    for (bool multi : {false, true}) {
        h.box->setMultiLine(multi);
        for (const QString& t : {kGreek, kCjk, kEmoji, kGreek + " " + kCjk + " " + kEmoji}) {
            h.box->setText(t);
            EXPECT_EQ(h.box->Text(), t);
            EXPECT_EQ(h.box->Text().toUtf8(), t.toUtf8());
            if (multi) {
                EXPECT_EQ(h.box->editWindow()->plainTextEdit()->toPlainText(), t);
            } else {
                EXPECT_EQ(h.box->editWindow()->lineEdit()->displayText(), t);
            }
        }
    }
    // The stored text too, before any Edit exists.
    Hosted fresh(false);
    fresh.box->setText(kEmoji);
    fresh.box->UserControl_ReadProperties(forms::PropertyBag());
    EXPECT_EQ(fresh.box->Text(), kEmoji);
}

TEST(UniTextBoxText, ASingleLineEditTakesNoMoreTypingThanFits) {
    Hosted h;
    QApplication::setActiveWindow(&h.form);
    h.box->doSetFocus();
    QLineEdit* line = h.box->editWindow()->lineEdit();
    QTest::keyClicks(line, QString(200, 'W'));
    const int typed = int(h.box->Text().size());
    EXPECT_GT(typed, 3);
    EXPECT_LT(typed, 200);
    EXPECT_LE(line->fontMetrics().horizontalAdvance(h.box->Text()), line->width());
    // Text set by the program is kept whole.
    h.box->setText(QString(200, 'W'));
    EXPECT_EQ(h.box->Text().size(), 200);
    // A multi-line Edit takes Return as a line break.
    h.box->setMultiLine(true);
    h.box->doSetFocus();
    QTest::keyClicks(h.box->editWindow()->editor(), "ab");
    QTest::keyClick(h.box->editWindow()->editor(), Qt::Key_Return);
    QTest::keyClicks(h.box->editWindow()->editor(), "cd");
    EXPECT_EQ(h.box->Text(), "ab\r\ncd");
}

TEST(UniTextBoxText, WithoutAutomaticVerticalScrollingLineBreaksStopAtTheBottom) {
    Hosted h;
    QApplication::setActiveWindow(&h.form);
    h.box->setMultiLine(true);
    auto typeLines = [&](int n) {
        h.box->doSetFocus();
        for (int i = 0; i < n; ++i) {
            QTest::keyClicks(h.box->editWindow()->editor(), "x");
            QTest::keyClick(h.box->editWindow()->editor(), Qt::Key_Return);
        }
        return h.box->editWindow()->plainTextEdit()->blockCount();
    };
    h.box->setScrollBars(1);  // 50111184: no automatic vertical scrolling
    const int limited = typeLines(40);
    EXPECT_GT(limited, 1);
    EXPECT_LT(limited, 40);
    h.box->setScrollBars(3);
    const int withBars = typeLines(40);  // the horizontal bar takes room
    EXPECT_GT(withBars, 1);
    EXPECT_LE(withBars, limited);
    h.box->setScrollBars(0);  // 500111C4: scrolls on
    EXPECT_EQ(typeLines(40), 41);
    h.box->setScrollBars(2);
    EXPECT_EQ(typeLines(40), 41);
}

TEST(UniTextBoxText, TextWidthIsZeroForMultiLineOtherwiseMeasured) {
    Hosted h;
    h.box->setText("Some words");
    const qint32 single = h.box->TextWidth();
    EXPECT_GT(single, 20);
    h.box->setText("Some words, and more");
    EXPECT_GT(h.box->TextWidth(), single);
    h.box->setMultiLine(true);
    h.box->setText("Some words");
    EXPECT_EQ(h.box->TextWidth(), 0);
    h.box->setScrollBars(9);  // a single-line Edit, but MultiLine still says 0
    EXPECT_EQ(h.box->TextWidth(), 0);
    h.box->setMultiLine(false);
    h.box->setFontSize(30);
    h.box->setText("Some words");
    EXPECT_GT(h.box->TextWidth(), single * 2);
}

TEST(UniTextBoxFocus, DoSetFocusPutsTheCaretAfterTheLastCharacter) {
    Hosted h;
    QApplication::setActiveWindow(&h.form);
    h.box->doSetFocus();  // empty text: focus only
    EXPECT_TRUE(h.box->editWindow()->editor()->hasFocus());
    EXPECT_EQ(h.box->editWindow()->selStart(), 0);

    h.box->setText(kGreek);
    h.box->editWindow()->setSel(0, 3);
    h.box->doSetFocus();
    EXPECT_EQ(h.box->editWindow()->selStart(), kGreek.size());
    EXPECT_EQ(h.box->editWindow()->selEnd(), kGreek.size());
    EXPECT_FALSE(h.box->editWindow()->lineEdit()->hasSelectedText());

    h.box->setMultiLine(true);
    h.box->setText("ab\r\ncd");
    h.box->doSetFocus();
    EXPECT_EQ(h.box->editWindow()->selStart(), 6);
    QTextCursor c = h.box->editWindow()->plainTextEdit()->textCursor();
    EXPECT_TRUE(c.atEnd());
    EXPECT_FALSE(c.hasSelection());

    // Without an Edit nothing happens.
    UniTextBox loose;
    EXPECT_NO_THROW(loose.doSetFocus());
}

TEST(UniTextBoxFont, SizesAreKeptFromSevenToSixtyFour) {
    Hosted h;
    h.box->setFontSize(5);
    EXPECT_EQ(h.box->FontSize(), 7);
    h.box->setFontSize(6);
    EXPECT_EQ(h.box->FontSize(), 7);
    h.box->setFontSize(100);
    EXPECT_EQ(h.box->FontSize(), 64);
    h.box->setFontSize(12);
    EXPECT_EQ(h.box->FontSize(), 12);
    EXPECT_EQ(h.box->controlFont().Size, 12);
}

TEST(UniTextBoxFont, TheLogicalFontFollowsTheControlsFont) {
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    UniTextBox loose;  // the design-time font
    EXPECT_EQ(loose.FontCharSet(), 134);
    forms::LogFont lf = loose.logicalFont(96);
    EXPECT_EQ(lf.lfFaceName, QByteArray("MS Serif"));
    EXPECT_EQ(lf.lfHeight, -11);  // 8.25 points rounds to 8: -MulDiv(8, 96, 72)
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfCharSet, 0);  // 134 is not applied until written
    EXPECT_EQ(lf.lfQuality, 3);

    Hosted h;
    h.box->setFont(QString(40, 'F') + "ace");
    h.box->setFontSize(12);
    h.box->setFontBold(true);
    h.box->setFontItalic(true);
    h.box->setFontUnderLine(true);
    h.box->setFontCharSet(161);
    lf = h.box->logicalFont(120);
    EXPECT_EQ(lf.lfFaceName, QByteArray(31, 'F'));
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfCharSet, 161);
    EXPECT_EQ(h.box->FontCharSet(), 161);
    // The face name is ANSI bytes: a name the code page cannot carry keeps "?" for it.
    h.box->setFont(QString::fromUtf8("Шрифт"));
    EXPECT_EQ(h.box->logicalFont(96).lfFaceName, QByteArray("?????"));
    // Halves of a point go to the even neighbour; the result is rounded half away from zero.
    EXPECT_EQ(forms::mulDiv(9, 96, 72), 12);
    EXPECT_EQ(forms::mulDiv(7, 96, 72), 9);   // 9.33
    EXPECT_EQ(forms::mulDiv(5, 3, 2), 8);     // 7.5
    EXPECT_EQ(forms::mulDiv(-5, 3, 2), -8);
    EXPECT_EQ(forms::mulDiv(1, 1, 0), -1);
}

TEST(UniTextBoxFont, TheEditDrawsWithTheFontMadeForIt) {
    Hosted h;
    h.box->setFont("DejaVu Sans");
    h.box->setFontSize(12);
    h.box->setFontBold(true);
    ASSERT_NE(h.box->editFont(), nullptr);
    const QFont f = h.box->editWindow()->editor()->font();
    EXPECT_EQ(f.family(), "DejaVu Sans");
    EXPECT_EQ(f.pixelSize(), forms::mulDiv(12, h.box->editWindow()->logicalDpiY(), 72));
    EXPECT_TRUE(f.bold());
    EXPECT_EQ(f.styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
    // A new Edit gets the font as well.
    h.box->setMultiLine(true);
    EXPECT_TRUE(h.box->editWindow()->editor()->font().bold());
}

TEST(UniTextBoxFont, CreateCustomFontHandsTheFontToAPictureBox) {
    Hosted h;
    auto* pic = new forms::PictureBox(&h.form);
    pic->setPicture(QImage(4, 4, QImage::Format_RGB32));
    h.box->setFont("DejaVu Serif");
    h.box->setFontSize(20);
    h.box->setFontItalic(true);
    h.box->CreateCustomFont(pic);
    EXPECT_TRUE(pic->Picture().isNull());
    EXPECT_EQ(pic->font().family(), "DejaVu Serif");
    EXPECT_EQ(pic->font().pixelSize(), forms::mulDiv(20, pic->logicalDpiY(), 72));
    EXPECT_TRUE(pic->font().italic());
    EXPECT_THROW(h.box->CreateCustomFont(nullptr), win::RuntimeError);
}

TEST(UniTextBoxProperties, ReadsAndWritesItsBagWithTheContainersScaleMode) {
    QWidget form;
    form.setProperty("ScaleMode", forms::vbUser);
    form.setProperty("BackColor", 0x00FFEEDD);
    form.setFont(QFont("DejaVu Serif"));
    auto* box = new UniTextBox(&form);
    box->resize(100, 30);
    box->UserControl_ReadProperties(forms::PropertyBag());
    EXPECT_EQ(forms::containerScaleMode(&form), forms::vbTwips);  // "User" switched to twips
    EXPECT_EQ(box->controlFont().Name, "DejaVu Serif");           // the container's font
    EXPECT_EQ(box->Font(), "");
    EXPECT_EQ(box->BackColor(), 0x00FFEEDD);
    EXPECT_EQ(box->ForeColor(), qint32(0x80000012));
    EXPECT_EQ(box->BorderStyle(), 1);
    EXPECT_FALSE(box->MultiLine());
    ASSERT_NE(box->editWindow(), nullptr);
    // A size never written reads 0 and is saved brought into range.
    EXPECT_EQ(box->FontSize(), 0);
    forms::PropertyBag unset;
    box->UserControl_WriteProperties(unset);
    EXPECT_EQ(unset.ReadProperty("Font.Size").toInt(), 7);

    box->setFontSize(3);
    box->setMultiLine(true);
    box->setScrollBars(2);
    box->setBorderStyle(2);
    box->setFont("DejaVu Sans");
    forms::PropertyBag bag;
    box->UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.names(), QStringList({"ScaleMode", "BorderStyle", "BackColor", "ForeColor",
                                        "MultiLine", "ScrollBars", "Font", "Font.CharSet",
                                        "Font.Size"}));
    EXPECT_EQ(bag.ReadProperty("ScaleMode").toInt(), 1);
    EXPECT_EQ(bag.ReadProperty("Font.Size").toInt(), 7);
    EXPECT_EQ(bag.ReadProperty("Font.CharSet").toInt(), 134);
    EXPECT_EQ(bag.ReadProperty("Font").toString(), "DejaVu Sans");

    QWidget pixels;
    pixels.setProperty("ScaleMode", forms::vbPixels);
    auto* other = new UniTextBox(&pixels);
    other->UserControl_ReadProperties(bag);
    EXPECT_EQ(forms::containerScaleMode(&pixels), forms::vbPixels);
    EXPECT_EQ(other->controlFont().Name, "DejaVu Sans");
    EXPECT_EQ(other->Font(), "DejaVu Sans");  // follows the saved face, so it is saved again
    EXPECT_TRUE(other->MultiLine());
    EXPECT_EQ(other->ScrollBars(), 2);
    EXPECT_EQ(other->BorderStyle(), 2);
    EXPECT_EQ(other->editWindow()->windowStyle(), 0x50211144u);
    forms::PropertyBag again;
    other->UserControl_WriteProperties(again);
    EXPECT_EQ(again.ReadProperty("ScaleMode").toInt(), 3);

    // An empty saved face name keeps the container's face.
    forms::PropertyBag emptyFace;
    emptyFace.WriteProperty("Font", QString());
    QWidget serif;
    serif.setFont(QFont("DejaVu Serif"));
    auto* third = new UniTextBox(&serif);
    third->UserControl_ReadProperties(emptyFace);
    EXPECT_EQ(third->controlFont().Name, "DejaVu Serif");
    EXPECT_EQ(third->Font(), "");

    // Units the control does not know read as 0.
    QWidget odd;
    odd.setProperty("ScaleMode", 42);
    auto* fourth = new UniTextBox(&odd);
    fourth->UserControl_ReadProperties(forms::PropertyBag());
    forms::PropertyBag oddBag;
    fourth->UserControl_WriteProperties(oddBag);
    EXPECT_EQ(oddBag.ReadProperty("ScaleMode").toInt(), 0);
}

TEST(UniTextBoxProperties, ColourWritesAreKeptAndMarkedChanged) {
    Hosted h;
    int changes = 0;
    QObject::connect(h.box, &UniTextBox::PropertyChanged, [&](const QString& n) {
        EXPECT_TRUE(n == "BackColor" || n == "ForeColor");
        ++changes;
    });
    h.box->setBackColor(0x0000FF);
    h.box->setForeColor(qint32(0x80000008));
    EXPECT_EQ(h.box->BackColor(), 0x0000FF);
    EXPECT_EQ(h.box->ForeColor(), qint32(0x80000008));
    EXPECT_EQ(changes, 2);
    // The control's own surface shows the colour around the Edit.
    const QImage shot = h.box->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
}

TEST(UniTextBoxPrint, DrawsClippedTextAndTouchesNothingOutside) {
    UniTextBox box;
    QImage canvas(200, 100, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const QImage before = canvas.copy();
    {
        QPainter p(&canvas);
        QFont big("DejaVu Sans");
        big.setPixelSize(40);
        p.setFont(big);
        p.setPen(Qt::black);
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setBackground(QColor(0, 0, 255));
        box.doPrint(kGreek + kCjk + kEmoji, p, 20, 30, 90, 50);
    }
    const QRect clip(20, 30, 70, 20);
    int changedInside = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const bool changed = canvas.pixel(x, y) != before.pixel(x, y);
            if (clip.contains(x, y)) {
                changedInside += changed;
            } else {
                ASSERT_FALSE(changed) << "pixel " << x << "," << y << " outside the rectangle";
            }
        }
    }
    EXPECT_GT(changedInside, 200);

    // Any value is drawn as text; an empty or inverted rectangle draws nothing.
    QImage device(60, 20, QImage::Format_RGB32);
    device.fill(Qt::white);
    const QImage blank = device.copy();
    box.doPrint(QVariant(12345), &device, 90, 0, 10, 20);
    EXPECT_EQ(device, blank);
    box.doPrint(QVariant(12345), &device, 0, 0, 60, 20);
    EXPECT_NE(device, blank);
    box.doPrint(QVariant(), &device, 0, 0, 60, 20);
    box.doPrint("x", static_cast<QPaintDevice*>(nullptr), 0, 0, 60, 20);
}

TEST(UniTextBoxPrint, DrawsOnAPictureBoxWithTheFontHandedToIt) {
    Hosted h;
    auto* pic = new forms::PictureBox(&h.form);
    pic->setBorderStyle(0);
    pic->setGeometry(0, 120, 200, 60);
    pic->setBackColor(0xFFFFFF);
    h.box->setFont("DejaVu Sans");
    h.box->setFontSize(24);
    h.box->CreateCustomFont(pic);
    const QImage blank = pic->shownImage();
    h.box->doPrint(kCjk, pic, 0, 0, 100, 30);
    const QImage drawn = pic->shownImage();
    bool inside = false;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const bool changed = drawn.pixel(x, y) != blank.pixel(x, y);
            if (x < 100 && y < 30) inside |= changed;
            else ASSERT_FALSE(changed) << x << "," << y;
        }
    EXPECT_TRUE(inside);
}
