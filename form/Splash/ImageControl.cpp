#include "ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);  // moves without a button held change the pictures too
}

void ImageControl::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) leftDown_ = true;
    emit MouseDown();
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !leftDown_) return;
    leftDown_ = false;
    if (rect().contains(event->position().toPoint())) emit Click();
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    // While a button pressed here is held, moves elsewhere still come here; they are not
    // moves over the control.
    if (rect().contains(event->position().toPoint())) emit MouseMove();
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is no new press: its release clicks nothing.
    event->accept();
    leftDown_ = false;
    emit DblClick();
}
