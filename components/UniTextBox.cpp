#include "UniTextBox.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

#include "forms/Ambient.h"
#include "forms/PictureBox.h"
#include "forms/SystemColors.h"
#include "win/RuntimeError.h"

using namespace forms;

namespace {

constexpr quint32 kBaseStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NOHIDESEL;  // 50010100
constexpr quint32 kMultiLine = ES_MULTILINE | ES_WANTRETURN;

qint32 clampFontSize(qint32 size) { return size <= 6 ? 7 : (size > 64 ? 64 : size); }

}  // namespace

UniTextBox::UniTextBox(QWidget* parent) : QWidget(parent) {
    // The control's design-time font; its character set stays 0 until FontCharSet is written.
    font_.Name = QStringLiteral("MS Serif");
    font_.Size = 8.25;
    font_.Charset = 0;
    // UserControl_Initialize
    BorderStyle_ = 1;
    FontCharSet_ = 134;
}

UniTextBox::~UniTextBox() {
    // UserControl_Terminate
    hFont_.reset();
    destroyEdit();
}

void UniTextBox::destroyEdit() {
    if (hWndEdit_) delete hWndEdit_.data();
    hWndEdit_ = nullptr;
}

void UniTextBox::doSetFocus() {
    if (!hWndEdit_) return;
    hWndEdit_->editor()->setFocus(Qt::OtherFocusReason);
    const QString text = Text();
    if (!text.isEmpty()) hWndEdit_->setSel(int(text.size()), int(text.size()));
}

qint32 UniTextBox::ScaleWidth() const { return width(); }
qint32 UniTextBox::ScaleHeight() const { return height(); }

void UniTextBox::setBackColor(qint32 NewColor) {
    BackColor_ = NewColor;
    emit PropertyChanged(QStringLiteral("BackColor"));
    update();
    if (hWndEdit_) hWndEdit_->update();
}

void UniTextBox::setForeColor(qint32 NewColor) {
    ForeColor_ = NewColor;
    emit PropertyChanged(QStringLiteral("ForeColor"));
    if (hWndEdit_) hWndEdit_->update();
}

void UniTextBox::setBorderStyle(qint32 inVal) {
    BorderStyle_ = inVal;
    CreateEditWindow();
}

void UniTextBox::setFont(const QString& inVal) {
    Font_ = inVal;
    font_.Name = inVal;
    UpdateEditFont();
}

void UniTextBox::setFontCharSet(qint32 inVal) {
    FontCharSet_ = inVal;
    font_.Charset = qint16(inVal);
    UpdateEditFont();
}

void UniTextBox::setFontSize(qint32 inVal) {
    FontSize_ = clampFontSize(inVal);
    font_.Size = FontSize_;
    UpdateEditFont();
}

void UniTextBox::setFontBold(bool inVal) {
    font_.Bold = inVal;
    UpdateEditFont();
}

void UniTextBox::setFontItalic(bool inVal) {
    font_.Italic = inVal;
    UpdateEditFont();
}

void UniTextBox::setFontUnderLine(bool inVal) {
    font_.Underline = inVal;
    UpdateEditFont();
}

void UniTextBox::setMultiLine(bool inVal) {
    MultiLine_ = inVal;
    CreateEditWindow();
}

void UniTextBox::setScrollBars(qint32 inVal) {
    ScrollBars_ = inVal;
    CreateEditWindow();
}

QString UniTextBox::Text() const { return hWndEdit_ ? hWndEdit_->text() : storedText_; }

void UniTextBox::setText(const QString& inVal) {
    if (hWndEdit_) {
        hWndEdit_->setText(inVal);
    } else {
        storedText_ = inVal;
    }
}

qint32 UniTextBox::TextWidth() const {
    if (MultiLine_) return 0;
    const QFontMetricsF metrics(font_.toQFont(), const_cast<UniTextBox*>(this));
    qreal widest = 0;
    for (const QString& line : Text().split(QRegularExpression(QStringLiteral("\r\n|\r|\n"))))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return win::roundToInt32(widest);
}

LogFont UniTextBox::logicalFont(int pixelsPerInchY) const {
    LogFont lf;
    lf.lfFaceName = faceNameBytes(font_.Name);
    lf.lfHeight = -mulDiv(win::roundToInt32(font_.Size), pixelsPerInchY, 72);
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfWeight = font_.Bold ? 700 : 400;
    lf.lfItalic = font_.Italic ? 1 : 0;
    lf.lfUnderline = font_.Underline ? 1 : 0;
    lf.lfStrikeOut = font_.Strikethrough ? 1 : 0;
    lf.lfCharSet = quint8(font_.Charset);
    lf.lfOutPrecision = 0;
    lf.lfClipPrecision = 0;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = 0;
    return lf;
}

void UniTextBox::CreateCustomFont(PictureBox* inPic) {
    if (!inPic)
        throw win::RuntimeError(91, QStringLiteral("Object variable or With block variable not set"));
    const QFont font = createFontIndirect(logicalFont(inPic->logicalDpiY()));
    inPic->setPicture(QImage());
    // The box keeps its own copy of the font, so nothing is left for anyone to delete.
    inPic->setFont(font);
    inPic->update();
}

void UniTextBox::doPrint(const QVariant& inText, QPainter& inHDC, qint32 inX1, qint32 inY1,
                         qint32 inX2, qint32 inY2) {
    const QString text = inText.toString();
    if (text.isEmpty() || inX2 <= inX1 || inY2 <= inY1) return;
    inHDC.save();
    inHDC.setClipRect(QRect(inX1, inY1, inX2 - inX1, inY2 - inY1), Qt::IntersectClip);
    // The point is the top-left corner of the text, as in the platform's default alignment.
    const QFontMetricsF metrics(inHDC.font(), inHDC.device());
    inHDC.drawText(QPointF(inX1, inY1 + metrics.ascent()), text);
    inHDC.restore();
}

void UniTextBox::doPrint(const QVariant& inText, QPaintDevice* inHDC, qint32 inX1, qint32 inY1,
                         qint32 inX2, qint32 inY2) {
    if (!inHDC) return;
    if (auto* box = dynamic_cast<PictureBox*>(inHDC)) {
        box->drawOn([&](QPainter& p) { doPrint(inText, p, inX1, inY1, inX2, inY2); });
        return;
    }
    QPainter painter;
    if (!painter.begin(inHDC)) return;  // a device that cannot be drawn on: no effect
    painter.setFont(QApplication::font());
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    doPrint(inText, painter, inX1, inY1, inX2, inY2);
}

void UniTextBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void UniTextBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), oleColorToQColor(quint32(BackColor_)));
}

void UniTextBox::UserControl_Resize() {
    if (hWndEdit_) {
        hWndEdit_->setGeometry(BorderStyle_, BorderStyle_,
                               std::max(0, ScaleWidth() - 2 * BorderStyle_),
                               std::max(0, ScaleHeight() - 2 * BorderStyle_));
        hWndEdit_->update();
    }
}

qint32 UniTextBox::GetAmbientScaleMode() {
    const QString units = ambientScaleUnits(parentWidget());
    static const QStringList kUnits = {"Twip", "Point", "Pixel", "Character",
                                       "Inch", "Millimeter", "Centimeter"};
    const int i = kUnits.indexOf(units);  // exact comparison
    if (i >= 0) return i + 1;
    if (units == QLatin1String("User")) {
        setContainerScaleMode(parentWidget(), vbTwips);
        return vbTwips;
    }
    return 0;
}

quint32 UniTextBox::editStyle(bool multiLine, qint32 scrollBars) {
    if (!multiLine) return kBaseStyle;
    switch (scrollBars) {
        case 0: return kBaseStyle | kMultiLine | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
        case 1: return kBaseStyle | kMultiLine | ES_AUTOHSCROLL | WS_HSCROLL;
        case 2: return kBaseStyle | kMultiLine | ES_AUTOVSCROLL | WS_VSCROLL;
        case 3: return kBaseStyle | kMultiLine | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL;
        default: return kBaseStyle;  // a single-line Edit
    }
}

void UniTextBox::CreateEditWindow() {
    destroyEdit();
    auto* edit = new EditWindow(editStyle(MultiLine_, ScrollBars_), 0, storedText_, this);
    edit->setGeometry(BorderStyle_, BorderStyle_, std::max(0, ScaleWidth() - 2 * BorderStyle_),
                      std::max(0, ScaleHeight() - 2 * BorderStyle_));
    hWndEdit_ = edit;
    ApplyBorderStyle(edit, BorderStyle_);
    UpdateEditFont();
}

void UniTextBox::ApplyBorderStyle(EditWindow* hWnd, qint32 inBorderStyle) {
    SetWindowStyleBits(hWnd, StyleWord::Style, 0, WS_BORDER | WS_THICKFRAME);
    switch (inBorderStyle) {
        case 0:
            SetWindowStyleBits(hWnd, StyleWord::ExStyle, 0,
                               WS_EX_STATICEDGE | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE);
            break;
        case 1:
            SetWindowStyleBits(hWnd, StyleWord::ExStyle, WS_EX_STATICEDGE,
                               WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE);
            break;
        case 2:
            SetWindowStyleBits(hWnd, StyleWord::ExStyle, WS_EX_CLIENTEDGE,
                               WS_EX_STATICEDGE | WS_EX_WINDOWEDGE);
            break;
        default: break;
    }
}

void UniTextBox::SetWindowStyleBits(EditWindow* hWnd, StyleWord which, quint32 setBits,
                                    quint32 clearBits) {
    if (!hWnd) return;
    if (which == StyleWord::Style) {
        hWnd->setWindowStyle(setBits | (hWnd->windowStyle() & ~clearBits));
    } else {
        hWnd->setWindowExStyle(setBits | (hWnd->windowExStyle() & ~clearBits));
    }
    hWnd->refreshFrame();
}

void UniTextBox::UpdateEditFont() {
    // Without an Edit there is no device context: its resolution reads 0.
    const LogFont lf = logicalFont(hWndEdit_ ? hWndEdit_->logicalDpiY() : 0);
    hFont_.reset();
    hFont_ = std::make_unique<QFont>(createFontIndirect(lf));
    update();
    if (hWndEdit_) hWndEdit_->setEditFont(*hFont_);
}

void UniTextBox::UserControl_ReadProperties(const PropertyBag& PropBag) {
    ScaleMode_ = GetAmbientScaleMode();
    const QString ambientFace = ambientFont(parentWidget()).family();
    const QString face = PropBag.ReadProperty(QStringLiteral("Font"), ambientFace).toString();
    // A saved face name is the control's own and is written back; an empty one keeps the
    // container's face.
    if (face.isEmpty()) {
        font_.Name = ambientFace;
    } else {
        font_.Name = face;
        if (PropBag.contains(QStringLiteral("Font"))) Font_ = face;
    }
    BackColor_ =
        qint32(PropBag.ReadProperty(QStringLiteral("BackColor"), ambientBackColor(parentWidget()))
                   .toLongLong());
    ForeColor_ =
        qint32(PropBag.ReadProperty(QStringLiteral("ForeColor"), ambientForeColor(parentWidget()))
                   .toLongLong());
    BorderStyle_ = PropBag.ReadProperty(QStringLiteral("BorderStyle"), 1).toInt();
    ScrollBars_ = PropBag.ReadProperty(QStringLiteral("ScrollBars"), 0).toInt();
    MultiLine_ = PropBag.ReadProperty(QStringLiteral("MultiLine"), false).toBool();
    update();
    CreateEditWindow();
}

void UniTextBox::UserControl_WriteProperties(PropertyBag& PropBag) const {
    PropBag.WriteProperty(QStringLiteral("ScaleMode"), ScaleMode_);
    PropBag.WriteProperty(QStringLiteral("BorderStyle"), BorderStyle_);
    PropBag.WriteProperty(QStringLiteral("BackColor"), BackColor_);
    PropBag.WriteProperty(QStringLiteral("ForeColor"), ForeColor_);
    PropBag.WriteProperty(QStringLiteral("MultiLine"), MultiLine_);
    PropBag.WriteProperty(QStringLiteral("ScrollBars"), ScrollBars_);
    PropBag.WriteProperty(QStringLiteral("Font"), Font_);
    PropBag.WriteProperty(QStringLiteral("Font.CharSet"), FontCharSet_);
    PropBag.WriteProperty(QStringLiteral("Font.Size"), clampFontSize(FontSize_));
}
