#pragma once
// A picture control: shows one picture scaled to fit inside the control, aspect ratio kept,
// centred along the axis that has room to spare. Sizes are in twips.
#include <QImage>
#include <QWidget>

#include "forms/PictureBox.h"
#include "forms/PropertyBag.h"

class ShowImage : public QWidget {
    Q_OBJECT
public:
    explicit ShowImage(QWidget* parent = nullptr);

    // Border style of the picture box (0 none, 1 fixed single); no redraw.
    short BorderStyle() const;
    void setBorderStyle(short New_BorderStyle);
    // Clears the drawing; the picture stays loaded.
    void Cls();
    // Background colour of the picture box (OLE colour); redraws.
    qint32 BackColor() const;
    void setBackColor(qint32 New_BackColor);
    // The picture shown (null: none); setting it redraws.
    QImage Picture() const;
    void setPicture(const QImage& New_Picture);
    // Redraws: the picture fitted into the picture box. Does nothing without a picture.
    void showImageInfo();
    // Loads a picture file (Windows path) and redraws. A load failure raises a RuntimeError and
    // keeps the previous picture.
    void loadimg(const QString& nome);

    // Persisted properties, called by the host window.
    void UserControl_ReadProperties(const forms::PropertyBag& PropBag);
    void UserControl_WriteProperties(forms::PropertyBag& PropBag) const;

    // Where a picture of the given size (twips) is drawn in a box of the given size (twips).
    struct DrawRect {
        int X = 0, Y = 0, W = 0, H = 0;
        bool operator==(const DrawRect&) const = default;
    };
    static DrawRect fitPicture(double pictureWidth, double pictureHeight, double boxWidth,
                               double boxHeight);

    // The constituent picture box (the drawing surface).
    forms::PictureBox* pictureBox() const { return immagine; }

signals:
    void DblClick();
    void Click();
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseDown(short Button, short Shift, float X, float Y);
    // A persisted property changed (the host's cue to save).
    void PropertyChanged(const QString& PropertyName);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void UserControl_Resize();

    // The loaded picture at its natural size, as the windowless image `temp` holds it.
    struct ImageHolder {
        QImage Picture;
        double Width() const;   // twips
        double Height() const;  // twips
    };

    forms::PictureBox* immagine;
    ImageHolder temp;
};
