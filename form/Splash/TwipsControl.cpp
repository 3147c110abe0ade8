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
    if (properties_ & kGeometry) place();
}

void TwipsControl::need(Property p) const {
    if (!(properties_ & p)) {
        throw win::RuntimeError(kErrNoSuchProperty, "Object doesn't support this property or method",
                                name_);
    }
}

void TwipsControl::sync() const {
    if (!widget_) return;
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    const QRect now = widget_->geometry();
    if (now.x() != placed_.x()) twips_.moveLeft(now.x() * tx);
    if (now.y() != placed_.y()) twips_.moveTop(now.y() * ty);
    if (now.width() != placed_.width()) twips_.setWidth(now.width() * tx);
    if (now.height() != placed_.height()) twips_.setHeight(now.height() * ty);
}

void TwipsControl::place() {
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    placed_ = QRect(toPixels(twips_.left(), tx), toPixels(twips_.top(), ty),
                    toPixels(twips_.width(), tx), toPixels(twips_.height(), ty));
    widget_->setGeometry(placed_);
    // A top-level window may refuse a size (minimums); keep what it really took.
    placed_ = widget_->geometry();
}

double TwipsControl::left() const {
    need(kLeft);
    sync();
    return twips_.left();
}

double TwipsControl::top() const {
    need(kTop);
    sync();
    return twips_.top();
}

double TwipsControl::width() const {
    need(kWidth);
    sync();
    return twips_.width();
}

double TwipsControl::height() const {
    need(kHeight);
    sync();
    return twips_.height();
}

double TwipsControl::fontSize() const {
    need(kFontSize);
    return widget_->font().pointSizeF();
}

void TwipsControl::setLeft(double twips) {
    need(kLeft);
    sync();
    twips_.moveLeft(twips);
    place();
}

void TwipsControl::setTop(double twips) {
    need(kTop);
    sync();
    twips_.moveTop(twips);
    place();
}

void TwipsControl::setWidth(double twips) {
    need(kWidth);
    sync();
    twips_.setWidth(twips);
    place();
}

void TwipsControl::setHeight(double twips) {
    need(kHeight);
    sync();
    twips_.setHeight(twips);
    place();
}

void TwipsControl::setFontSize(double points) {
    need(kFontSize);
    QFont f = widget_->font();
    f.setPointSizeF(points);
    widget_->setFont(f);
}
