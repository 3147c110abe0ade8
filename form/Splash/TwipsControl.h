#pragma once
// A control's position, size and font size as the forms runtime exposes them: twips and
// points, reached by name at run time. The widget itself lives in pixels; the twip figures are
// kept as set (fractions included) and converted with the screen's current twips per pixel.
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

class TwipsControl {
public:
    // The properties a control can have; one it lacks raises runtime error 438.
    enum Property { kLeft = 1, kTop = 2, kWidth = 4, kHeight = 8, kFontSize = 16 };
    static constexpr int kGeometry = kLeft | kTop | kWidth | kHeight;
    static constexpr int kErrNoSuchProperty = 438;

    // `widget` may be null for a control without a place (a timer); `twips` is the design
    // rectangle; it is applied to the widget at once.
    TwipsControl(QString name, QWidget* widget, int properties, const QRectF& twips);

    const QString& name() const { return name_; }
    QWidget* widget() const { return widget_; }

    double left() const;
    double top() const;
    double width() const;
    double height() const;
    double fontSize() const;
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);
    void setFontSize(double points);

private:
    void need(Property p) const;
    // The figures as they stand: as set, except where the window system has since moved or
    // sized the widget (a dragged window); those are read back from its pixels.
    QRectF current() const;
    void place(const QRectF& twips);

    QString name_;
    QPointer<QWidget> widget_;
    int properties_;
    QRectF twips_;  // as last set, fractions kept
    QRect placed_;  // the pixels the widget took for them
};
