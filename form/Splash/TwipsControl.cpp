#include "TwipsControl.h"

#include <QFont>

#include "forms/App.h"
#include "win/RuntimeError.h"

namespace {

int toPixels(double twips, double twipsPerPixel) { return qRound(twips / twipsPerPixel); }

}  // namespace

TwipsControl::TwipsControl(QString name, QWidget* widget, int properties, const QRectF& twips)
    : name_(std::move(name)), widget_(widget), properties_(widget ? properties : 0),
      twips_(twips) {
    if (properties_ & kGeometry) place(twips_);
}

void TwipsControl::need(Property p) const {
    if (!(properties_ & p)) {
        throw win::RuntimeError(kErrNoSuchProperty, "Object doesn't support this property or method",
                                name_);
    }
}

QRectF TwipsControl::current() const {
    QRectF now = twips_;
    if (!widget_) return now;
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    const QRect pixels = widget_->geometry();
    if (pixels.x() != placed_.x()) now.moveLeft(pixels.x() * tx);
    if (pixels.y() != placed_.y()) now.moveTop(pixels.y() * ty);
    if (pixels.width() != placed_.width()) now.setWidth(pixels.width() * tx);
    if (pixels.height() != placed_.height()) now.setHeight(pixels.height() * ty);
    return now;
}

void TwipsControl::place(const QRectF& twips) {
    twips_ = twips;
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    widget_->setGeometry(toPixels(twips_.left(), tx), toPixels(twips_.top(), ty),
                         toPixels(twips_.width(), tx), toPixels(twips_.height(), ty));
    // A top-level window may refuse a size (minimums); keep what it really took.
    placed_ = widget_->geometry();
}

double TwipsControl::left() const {
    need(kLeft);
    return current().left();
}

double TwipsControl::top() const {
    need(kTop);
    return current().top();
}

double TwipsControl::width() const {
    need(kWidth);
    return current().width();
}

double TwipsControl::height() const {
    need(kHeight);
    return current().height();
}

double TwipsControl::fontSize() const {
    need(kFontSize);
    return widget_->font().pointSizeF();
}

void TwipsControl::setLeft(double twips) {
    need(kLeft);
    QRectF r = current();
    r.moveLeft(twips);
    place(r);
}

void TwipsControl::setTop(double twips) {
    need(kTop);
    QRectF r = current();
    r.moveTop(twips);
    place(r);
}

void TwipsControl::setWidth(double twips) {
    need(kWidth);
    QRectF r = current();
    r.setWidth(twips);
    place(r);
}

void TwipsControl::setHeight(double twips) {
    need(kHeight);
    QRectF r = current();
    r.setHeight(twips);
    place(r);
}

void TwipsControl::setFontSize(double points) {
    need(kFontSize);
    QFont f = widget_->font();
    f.setPointSizeF(points);
    widget_->setFont(f);
}
