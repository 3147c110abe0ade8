#include "forms/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "forms/App.h"
#include "forms/SystemColors.h"

namespace forms {

namespace {
int toPixelsX(double twips) { return int(std::lround(twips / App::twipsPerPixelX())); }
int toPixelsY(double twips) { return int(std::lround(twips / App::twipsPerPixelY())); }
}  // namespace

short mouseButtonWord(Qt::MouseButtons buttons) {
    short word = 0;
    if (buttons & Qt::LeftButton) word |= 1;
    if (buttons & Qt::RightButton) word |= 2;
    if (buttons & Qt::MiddleButton) word |= 4;
    return word;
}

short shiftWord(Qt::KeyboardModifiers modifiers) {
    short word = 0;
    if (modifiers & Qt::ShiftModifier) word |= 1;
    if (modifiers & Qt::ControlModifier) word |= 2;
    if (modifiers & Qt::AltModifier) word |= 4;
    return word;
}

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setBorderStyle(1);
    setMouseTracking(true);
}

void PictureBox::setBorderStyle(short style) {
    borderStyle_ = style;
    if (style == 1) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
    } else {
        setFrameStyle(QFrame::NoFrame);
        setLineWidth(0);
    }
    update();
}

void PictureBox::setBackColor(qint32 oleColor) {
    backColor_ = oleColor;
    update();
}

void PictureBox::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

double PictureBox::Left() const { return x() * App::twipsPerPixelX(); }
double PictureBox::Top() const { return y() * App::twipsPerPixelY(); }
double PictureBox::Width() const { return width() * App::twipsPerPixelX(); }
double PictureBox::Height() const { return height() * App::twipsPerPixelY(); }
void PictureBox::setLeft(double twips) { move(toPixelsX(twips), y()); }
void PictureBox::setTop(double twips) { move(x(), toPixelsY(twips)); }
void PictureBox::setWidth(double twips) { resize(std::max(0, toPixelsX(twips)), height()); }
void PictureBox::setHeight(double twips) { resize(width(), std::max(0, toPixelsY(twips))); }
double PictureBox::ScaleWidth() const { return contentsRect().width() * App::twipsPerPixelX(); }
double PictureBox::ScaleHeight() const { return contentsRect().height() * App::twipsPerPixelY(); }

void PictureBox::Cls() {
    fitDrawing();
    drawing_.fill(Qt::transparent);
    update();
}

void PictureBox::PaintPicture(const QImage& picture, double x, double y, double width,
                              double height) {
    fitDrawing();
    if (drawing_.isNull()) return;
    QPainter p(&drawing_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target(x / App::twipsPerPixelX(), y / App::twipsPerPixelY(),
                        width / App::twipsPerPixelX(), height / App::twipsPerPixelY());
    p.drawImage(target, picture);
    update();
}

void PictureBox::drawOn(const std::function<void(QPainter&)>& draw) {
    fitDrawing();
    if (drawing_.isNull()) return;
    {
        QPainter p(&drawing_);
        p.setFont(font());
        p.setPen(oleColorToQColor(quint32(foreColor_)));
        p.setBackgroundMode(Qt::TransparentMode);
        draw(p);
    }
    update();
}

void PictureBox::paintInside(QPainter& p) const {
    const QSize inside = contentsRect().size();
    p.fillRect(QRect(QPoint(0, 0), inside), oleColorToQColor(quint32(backColor_)));
    if (!picture_.isNull()) p.drawImage(QPoint(0, 0), picture_);
    if (!drawing_.isNull()) p.drawImage(QPoint(0, 0), drawing_);
}

QImage PictureBox::shownImage() const {
    QImage out(contentsRect().size(), QImage::Format_RGB32);
    if (out.isNull()) return out;
    QPainter p(&out);
    paintInside(p);
    return out;
}

void PictureBox::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.setClipRect(contentsRect());
        p.translate(contentsRect().topLeft());
        paintInside(p);
    }
    QFrame::paintEvent(event);  // the border
}

void PictureBox::fitDrawing() {
    // The drawing keeps what it holds; new room shows the background.
    const QSize inside = contentsRect().size().expandedTo(QSize(0, 0));
    if (drawing_.size() == inside) return;
    QImage grown(inside, QImage::Format_ARGB32_Premultiplied);
    if (!grown.isNull()) {
        grown.fill(Qt::transparent);
        if (!drawing_.isNull()) {
            QPainter p(&grown);
            p.drawImage(QPoint(0, 0), drawing_);
        }
    }
    drawing_ = grown;
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    fitDrawing();
    QFrame::resizeEvent(event);
}

void PictureBox::mouseEvent(QMouseEvent* event, short button,
                            void (PictureBox::*signal)(short, short, float, float)) {
    const QPointF inside = event->position() - contentsRect().topLeft();
    emit(this->*signal)(button, shiftWord(event->modifiers()),
                        float(inside.x() * App::twipsPerPixelX()),
                        float(inside.y() * App::twipsPerPixelY()));
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressedInside_ = true;
    mouseEvent(event, mouseButtonWord(event->button()), &PictureBox::MouseDown);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    mouseEvent(event, mouseButtonWord(event->buttons()), &PictureBox::MouseMove);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    mouseEvent(event, mouseButtonWord(event->button()), &PictureBox::MouseUp);
    if (pressedInside_ && rect().contains(event->position().toPoint())) emit Click();
    pressedInside_ = false;
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    pressedInside_ = false;
    Q_UNUSED(event);
    emit DblClick();  // the second press of a double click is no MouseDown and no Click
}

}  // namespace forms
