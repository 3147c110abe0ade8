#pragma once
// The forms runtime's picture box: a window with a border style, a background colour, a
// background picture and a drawing surface that keeps what was drawn until it is cleared.
// Sizes and drawing positions are in twips; drawing positions are relative to the inside of
// the border.
#include <QFrame>
#include <QImage>

#include <functional>

namespace forms {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // 0 none, 1 fixed single (a sunken two-pixel edge).
    short BorderStyle() const { return borderStyle_; }
    void setBorderStyle(short style);

    // OLE colour (0x8000000F and the like name system colours).
    qint32 BackColor() const { return backColor_; }
    void setBackColor(qint32 oleColor);

    // OLE colour of text drawn on the box.
    qint32 ForeColor() const { return foreColor_; }
    void setForeColor(qint32 oleColor) { foreColor_ = oleColor; }

    // The background picture, drawn at the top-left corner under the drawing.
    QImage Picture() const { return picture_; }
    void setPicture(const QImage& picture);

    // Outer position and size in twips.
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);
    // Inside size in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;

    // Clears the drawing (the background colour and picture show again).
    void Cls();
    // Draws the whole picture scaled into the rectangle (twips, inside coordinates).
    void PaintPicture(const QImage& picture, double x, double y, double width, double height);

    // Draws on the drawing surface with a painter set up as the box's device context: the
    // box's font, its foreground colour, a transparent background.
    void drawOn(const std::function<void(QPainter&)>& draw);

    // What the box shows inside its border: background, picture and drawing.
    QImage shownImage() const;

signals:
    void Click();
    void DblClick();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintInside(QPainter& painter) const;
    void fitDrawing();
    void mouseEvent(QMouseEvent* event, short button, void (PictureBox::*signal)(short, short, float, float));

    short borderStyle_ = 1;
    qint32 backColor_ = qint32(0x8000000F);
    qint32 foreColor_ = qint32(0x80000012);
    QImage picture_;
    QImage drawing_;  // transparent where nothing was drawn
    bool pressedInside_ = false;
};

// Mouse button and shift-key words of the forms runtime's mouse events.
short mouseButtonWord(Qt::MouseButtons buttons);
short shiftWord(Qt::KeyboardModifiers modifiers);

}  // namespace forms
