#pragma once
// A text box control that keeps and shows UTF-16 text in a native Edit window filling the
// control, with colour, border, font, line and scroll-bar settings passed through to it. It
// also draws clipped Unicode text on any paint device and hands its font to a picture box.
#include <QFont>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "forms/EditWindow.h"
#include "forms/Fonts.h"
#include "forms/PropertyBag.h"

class QPaintDevice;
class QPainter;

namespace forms {
class PictureBox;
}

class UniTextBox : public QWidget {
    Q_OBJECT
public:
    explicit UniTextBox(QWidget* parent = nullptr);
    ~UniTextBox() override;

    // Gives the Edit the keyboard focus, the caret after the last character.
    void doSetFocus();

    qint32 ScaleWidth() const;
    qint32 ScaleHeight() const;

    qint32 BackColor() const { return BackColor_; }
    void setBackColor(qint32 NewColor);
    qint32 ForeColor() const { return ForeColor_; }
    void setForeColor(qint32 NewColor);
    // 0 none, 1 thin, 2 sunken; writing makes the Edit anew.
    qint32 BorderStyle() const { return BorderStyle_; }
    void setBorderStyle(qint32 inVal);

    // Face name of the control's font as last written ("" until written).
    QString Font() const { return Font_; }
    void setFont(const QString& inVal);
    using QWidget::setFont;
    qint32 FontCharSet() const { return FontCharSet_; }
    void setFontCharSet(qint32 inVal);
    // Whole points, kept from 7 to 64 once written (0 before).
    qint32 FontSize() const { return FontSize_; }
    void setFontSize(qint32 inVal);
    bool FontBold() const { return font_.Bold; }
    void setFontBold(bool inVal);
    bool FontItalic() const { return font_.Italic; }
    void setFontItalic(bool inVal);
    bool FontUnderLine() const { return font_.Underline; }
    void setFontUnderLine(bool inVal);

    // Writing either makes the Edit anew from the stored text.
    bool MultiLine() const { return MultiLine_; }
    void setMultiLine(bool inVal);
    qint32 ScrollBars() const { return ScrollBars_; }
    void setScrollBars(qint32 inVal);

    // With an Edit its text; without one the stored text, with which every Edit is made.
    QString Text() const;
    void setText(const QString& inVal);

    // 0 when MultiLine; otherwise the width of Text in the control's font, in pixels.
    qint32 TextWidth() const;

    // Makes a font like the Edit's for the picture box's resolution and hands it to the box,
    // whose picture is cleared. The box keeps the font; the control keeps no reference to it.
    void CreateCustomFont(forms::PictureBox* inPic);

    // Draws inText at (inX1, inY1), clipped to the rectangle (inX1, inY1)-(inX2, inY2) (right
    // and bottom edges excluded), with the painter's font, pen and background mode.
    void doPrint(const QVariant& inText, QPainter& inHDC, qint32 inX1, qint32 inY1, qint32 inX2,
                 qint32 inY2);
    // The same on a paint device: a picture box draws with its own font and colour; any other
    // device with the application font in black, background transparent.
    void doPrint(const QVariant& inText, QPaintDevice* inHDC, qint32 inX1, qint32 inY1,
                 qint32 inX2, qint32 inY2);

    // Persisted properties, called by the host window.
    void UserControl_ReadProperties(const forms::PropertyBag& PropBag);
    void UserControl_WriteProperties(forms::PropertyBag& PropBag) const;

    // Window and extended style words for an Edit with these settings.
    static quint32 editStyle(bool multiLine, qint32 scrollBars);

    // For callers and tests: the Edit window (null when none), the font object made for it
    // (null when none), the control's own font and the logical font built from it.
    forms::EditWindow* editWindow() const { return hWndEdit_; }
    const QFont* editFont() const { return hFont_.get(); }
    const forms::StdFont& controlFont() const { return font_; }
    forms::LogFont logicalFont(int pixelsPerInchY) const;

signals:
    // A persisted property changed (the host's cue to save).
    void PropertyChanged(const QString& PropertyName);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void UserControl_Resize();
    qint32 GetAmbientScaleMode();
    void CreateEditWindow();
    void ApplyBorderStyle(forms::EditWindow* hWnd, qint32 inBorderStyle);
    enum class StyleWord { Style, ExStyle };
    void SetWindowStyleBits(forms::EditWindow* hWnd, StyleWord which, quint32 setBits,
                            quint32 clearBits);
    void UpdateEditFont();
    void destroyEdit();

    qint32 BorderStyle_ = 1;
    // The control's own colours: what is reported, painted and saved.
    qint32 BackColor_ = qint32(0x8000000F);
    qint32 ForeColor_ = 0;
    qint32 ScaleMode_ = 0;  // the container's, as found when the properties were read
    // The control's font; bold, italic and underline are read from it. Face name, character
    // set and size are kept apart as last written: until written they read "", 134 and 0,
    // while the font itself has the design face, character set 0 and 8.25 points.
    forms::StdFont font_;
    QString Font_;
    qint32 FontCharSet_ = 134;
    qint32 FontSize_ = 0;  // saved as 7 until written
    bool MultiLine_ = false;
    qint32 ScrollBars_ = 0;
    QString storedText_;
    QPointer<forms::EditWindow> hWndEdit_;
    std::unique_ptr<QFont> hFont_;  // the font made for the Edit
};
