#pragma once
// The forms runtime's windowless image: shows its picture at the picture's own size from its
// top-left corner over whatever lies behind it; without a picture it is a transparent,
// clickable rectangle.
#include <QPixmap>
#include <QWidget>

class ImageControl : public QWidget {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent = nullptr);

    const QPixmap& picture() const { return picture_; }
    // An empty pixmap clears the picture.
    void setPicture(const QPixmap& picture);

signals:
    // Left button pressed and released over the control.
    void Click();
    void DblClick();
    // Any button goes down over the control.
    void MouseDown();
    // The mouse moves over the control.
    void MouseMove();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool leftDown_ = false;
};
