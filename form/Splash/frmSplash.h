#pragma once
// The launcher's shaped start window: two picture buttons that start the suite's tools, a close
// area, dragging by the background.
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "ImageControl.h"
#include "TwipsControl.h"

namespace win {
class RuntimeError;
}

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
    ~frmSplash() override;

    // Start-up. False when the program ends at once because another launcher runs; the window
    // is then never shown.
    bool Form_Load();

    // The window's place and size in twips.
    TwipsControl& form() { return *form_; }
    // The controls in the window's control order.
    const std::vector<std::unique_ptr<TwipsControl>>& controls() const { return controls_; }
    TwipsControl& control(const QString& name);

    // The pixels whose colour makes them transparent.
    static QColor transparentKey() { return QColor(255, 0, 255); }
    const QPixmap& background() const { return background_; }

    QTimer* Timer1;
    ImageControl* imgFolipressDark;
    ImageControl* imgLumidocdark;
    ImageControl* imgFolipressData;
    ImageControl* imgLumidocdata;
    ImageControl* imgFolipress;
    ImageControl* imgLumidoc;
    QLabel* lblFolipress;
    QLabel* lblLumidoc;
    ImageControl* Image1;

signals:
    // The program ends with this exit code; the window has been unloaded unless it is an
    // error end.
    void ended(int exitCode);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Form_DblClick();
    void Form_MouseMove(Qt::MouseButtons buttons, const QPoint& globalPos);
    void Image1_Click();
    void imgFolipress_Click();
    void imgFolipress_MouseDown();
    void imgFolipress_MouseMove();
    void imgLumidoc_Click();
    void imgLumidoc_MouseDown();
    void imgLumidoc_MouseMove();
    void Timer1_Timer();

    // Runs an event handler without error skipping: an error ends the program with the
    // runtime's error report.
    void handle(const std::function<void()>& handler);
    void reportErrorAndEnd(const win::RuntimeError& error);
    void unloadAndEnd();
    // Starts a program of the launcher's folder in a window of its own, without arguments.
    void startTool(const QString& exeFile);
    // Moves the window with the mouse while the left button is held.
    void dragWithMouse(const QPoint& globalPos);

    QPixmap background_;
    std::unique_ptr<TwipsControl> form_;
    std::vector<std::unique_ptr<TwipsControl>> controls_;
    bool ending_ = false;
    bool ownDrag_ = false;
    QPoint dragOffset_;
};
