#include "ShowImage.h"

#include "forms/App.h"
#include "forms/Picture.h"
#include "win/RuntimeError.h"

namespace {

constexpr qint32 kDefaultBackColor = qint32(0x8000000F);  // button face
constexpr short kDefaultBorderStyle = 1;

// Twip counts are rounded into 32 bits, not 16, so a control wider than 32767 twips still
// shows its picture instead of the redraw failing; past 32 bits it is an overflow error.
int roundTwips(double value) { return win::roundToInt32(value); }

}  // namespace

double ShowImage::ImageHolder::Width() const {
    return Picture.width() * forms::App::twipsPerPixelX();
}
double ShowImage::ImageHolder::Height() const {
    return Picture.height() * forms::App::twipsPerPixelY();
}

ShowImage::ShowImage(QWidget* parent) : QWidget(parent), immagine(new forms::PictureBox(this)) {
    immagine->setBorderStyle(kDefaultBorderStyle);
    immagine->setBackColor(kDefaultBackColor);
    immagine->setGeometry(rect());
    connect(immagine, &forms::PictureBox::Click, this, &ShowImage::Click);
    connect(immagine, &forms::PictureBox::DblClick, this, &ShowImage::DblClick);
    connect(immagine, &forms::PictureBox::MouseMove, this, &ShowImage::MouseMove);
    connect(immagine, &forms::PictureBox::MouseDown, this, &ShowImage::MouseDown);
}

short ShowImage::BorderStyle() const { return immagine->BorderStyle(); }

void ShowImage::setBorderStyle(short New_BorderStyle) {
    immagine->setBorderStyle(New_BorderStyle);
    emit PropertyChanged(QStringLiteral("BorderStyle"));
}

void ShowImage::Cls() { immagine->Cls(); }

qint32 ShowImage::BackColor() const { return immagine->BackColor(); }

void ShowImage::setBackColor(qint32 New_BackColor) {
    immagine->setBackColor(New_BackColor);
    emit PropertyChanged(QStringLiteral("BackColor"));
    showImageInfo();
}

QImage ShowImage::Picture() const { return temp.Picture; }

void ShowImage::setPicture(const QImage& New_Picture) {
    temp.Picture = New_Picture;
    emit PropertyChanged(QStringLiteral("Picture"));
    showImageInfo();
}

ShowImage::DrawRect ShowImage::fitPicture(double pictureWidth, double pictureHeight,
                                          double boxWidth, double boxHeight) {
    // Ratios and the products with them in single precision; the centring offset halves the
    // room left beside the already rounded size.
    const float boxW = float(boxWidth);
    const float boxH = float(boxHeight);
    const float r1 = float(pictureWidth) / float(pictureHeight);
    const float r2 = boxW / boxH;
    DrawRect d;
    const bool fitHeight = r1 >= 1 ? r2 >= r1 : r2 > r1;
    if (fitHeight) {
        d.W = roundTwips(r1 * boxH);
        d.H = roundTwips(boxH);
        d.X = roundTwips((boxW - float(d.W)) / 2);
        d.Y = 0;
    } else {
        d.W = roundTwips(boxW);
        d.H = roundTwips(boxW / r1);
        d.X = 0;
        d.Y = roundTwips((boxH - float(d.H)) / 2);
    }
    return d;
}

void ShowImage::showImageInfo() {
    if (temp.Picture.isNull()) return;
    immagine->Cls();
    // A box with no room has nothing to draw into.
    if (immagine->Width() <= 0 || immagine->Height() <= 0) return;
    const DrawRect d = fitPicture(temp.Width(), temp.Height(), immagine->Width(), immagine->Height());
    immagine->PaintPicture(temp.Picture, d.X, d.Y, d.W, d.H);
}

void ShowImage::loadimg(const QString& nome) {
    temp.Picture = forms::loadPicture(nome);
    showImageInfo();
}

void ShowImage::UserControl_ReadProperties(const forms::PropertyBag& PropBag) {
    temp.Picture = PropBag.ReadProperty(QStringLiteral("Picture"), QVariant()).value<QImage>();
    immagine->setBorderStyle(
        short(PropBag.ReadProperty(QStringLiteral("BorderStyle"), kDefaultBorderStyle).toInt()));
    immagine->setBackColor(
        qint32(PropBag.ReadProperty(QStringLiteral("BackColor"), kDefaultBackColor).toInt()));
}

void ShowImage::UserControl_WriteProperties(forms::PropertyBag& PropBag) const {
    PropBag.WriteProperty(QStringLiteral("Picture"), QVariant::fromValue(temp.Picture),
                          QVariant::fromValue(QImage()));
    PropBag.WriteProperty(QStringLiteral("BorderStyle"), immagine->BorderStyle(),
                          kDefaultBorderStyle);
    PropBag.WriteProperty(QStringLiteral("BackColor"), immagine->BackColor(), kDefaultBackColor);
}

void ShowImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void ShowImage::UserControl_Resize() {
    immagine->setGeometry(0, 0, width(), height());
    showImageInfo();
}
