#include "frmSplash.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include <cerrno>

#include "forms/App.h"
#include "forms/MessageBox.h"
#include "skin/SkinH.h"
#include "win/MessagePump.h"
#include "win/Process.h"
#include "win/RuntimeError.h"

namespace {

constexpr int kLabelRole = TwipsControl::kGeometry | TwipsControl::kFontSize;

QRectF twips(double left, double top, double width, double height) {
    return QRectF(left, top, width, height);
}

// Everything but the key colour: what stays visible and takes clicks.
QRegion shapeWithoutKey(const QPixmap& picture, const QColor& key) {
    const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb k = key.rgb() | 0xff000000u;
    QList<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && line[x] == k) ++x;
            const int start = x;
            while (x < image.width() && line[x] != k) ++x;
            if (x > start) runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    region.setRects(runs.constData(), int(runs.size()));
    return region;
}

void setForeColor(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

QColor foreColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

}  // namespace

// The artwork sits in this static library; its initialiser must be pulled in by name.
static void initArtwork() { Q_INIT_RESOURCE(splash); }

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    initArtwork();
    setWindowTitle("Lumidoc");
    QIcon icon(":/splash/art/icon.png");
    icon.addFile(":/splash/art/icon-32.png");
    setWindowIcon(icon);
    setFont(QFont("Tahoma", 9));
    setMouseTracking(true);  // the background reacts to moves without a button held
    background_ = QPixmap(":/splash/art/splash.bmp");
    form_ = std::make_unique<TwipsControl>("frmSplash", this, TwipsControl::kGeometry,
                                           twips(0, 0, 7500, 4500));

    Timer1 = new QTimer(this);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, [this] { handle([this] { Timer1_Timer(); }); });

    auto holder = [this](const char* name, const char* picture, const QRectF& at) {
        auto* image = new ImageControl(this);
        image->setObjectName(name);
        image->setPicture(QPixmap(picture));
        image->setVisible(false);
        controls_.push_back(std::make_unique<TwipsControl>(name, image, TwipsControl::kGeometry, at));
        return image;
    };
    auto hotSpot = [this](const char* name, const QRectF& at) {
        auto* image = new ImageControl(this);
        image->setObjectName(name);
        controls_.push_back(std::make_unique<TwipsControl>(name, image, TwipsControl::kGeometry, at));
        return image;
    };
    auto label = [this](const char* name, const QString& caption, const QRectF& at) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        controls_.push_back(std::make_unique<TwipsControl>(name, l, kLabelRole, at));
        return l;
    };

    controls_.push_back(std::make_unique<TwipsControl>("Timer1", nullptr, 0, QRectF()));
    imgFolipressDark = holder("imgFolipressDark", ":/splash/art/folipress_dark.jpg",
                              twips(11000, 960, 2490, 2490));
    imgLumidocdark = holder("imgLumidocdark", ":/splash/art/lumidoc_dark.jpg",
                            twips(11000, 2250, 2490, 2490));
    imgFolipressData = holder("imgFolipressData", ":/splash/art/folipress_hover.jpg",
                              twips(11000, 2010, 2490, 2490));
    imgLumidocdata = holder("imgLumidocdata", ":/splash/art/lumidoc_hover.jpg",
                            twips(11000, 3990, 2490, 2490));
    imgFolipress = hotSpot("imgFolipress", twips(4150, 1060, 2505, 2505));
    imgLumidoc = hotSpot("imgLumidoc", twips(740, 1060, 2490, 2490));
    lblFolipress = label("lblFolipress",
                         "Create PDF File from scanned image formats like TIF, JPG, BMP, TTIF, "
                         "GIF, PNG, PSD etc.",
                         twips(7260, 13480, 6525, 585));
    lblLumidoc = label("lblLumidoc",
                       "Open a PDF file to start optical character Recognition and save the "
                       "result into a plain text file.",
                       twips(7260, 13480, 6525, 585));
    Image1 = hotSpot("Image1", twips(7260, 60, 165, 225));
    Image1->setCursor(QCursor(QPixmap(":/splash/art/hand.png"), 6, 0));

    connect(imgFolipress, &ImageControl::Click, this,
            [this] { handle([this] { imgFolipress_Click(); }); });
    connect(imgFolipress, &ImageControl::MouseDown, this,
            [this] { handle([this] { imgFolipress_MouseDown(); }); });
    connect(imgFolipress, &ImageControl::MouseMove, this,
            [this] { handle([this] { imgFolipress_MouseMove(); }); });
    connect(imgLumidoc, &ImageControl::Click, this,
            [this] { handle([this] { imgLumidoc_Click(); }); });
    connect(imgLumidoc, &ImageControl::MouseDown, this,
            [this] { handle([this] { imgLumidoc_MouseDown(); }); });
    connect(imgLumidoc, &ImageControl::MouseMove, this,
            [this] { handle([this] { imgLumidoc_MouseMove(); }); });
    connect(Image1, &ImageControl::Click, this, [this] { handle([this] { Image1_Click(); }); });
}

frmSplash::~frmSplash() = default;

TwipsControl& frmSplash::control(const QString& name) {
    for (auto& c : controls_) {
        if (c->name() == name) return *c;
    }
    throw win::RuntimeError(TwipsControl::kErrNoSuchProperty, "No control " + name);
}

bool frmSplash::Form_Load() {
    bool anotherRuns = false;
    win::skipOnError([&] { anotherRuns = forms::App::prevInstance(); });
    if (anotherRuns) {
        ending_ = true;
        emit ended(0);
        return false;
    }
    win::skipOnError([&] { SkinH_Attach(); });
    // Off the screen until the window is shaped and centred.
    win::skipOnError([&] { form_->setTop(-form_->height() - 100); });
    win::skipOnError([&] { form_->setLeft(-form_->width() - 100); });
    // The design is laid out at 15 twips per pixel; keep its pixel sizes at any density.
    win::skipOnError(
        [&] { form_->setWidth(form_->width() * forms::App::twipsPerPixelX() / 15); });
    win::skipOnError(
        [&] { form_->setHeight(form_->height() * forms::App::twipsPerPixelY() / 15); });
    win::skipOnError([&] { setForeColor(lblFolipress, QColor(180, 180, 180)); });
    win::skipOnError([&] { setForeColor(lblLumidoc, foreColor(lblFolipress)); });
    for (auto& c : controls_) {
        TwipsControl& x = *c;
        win::skipOnError([&] { x.setLeft(x.left() * forms::App::twipsPerPixelX() / 15); });
        win::skipOnError([&] { x.setTop(x.top() * forms::App::twipsPerPixelY() / 15); });
        win::skipOnError([&] { x.setWidth(x.width() * forms::App::twipsPerPixelX() / 15); });
        win::skipOnError([&] { x.setHeight(x.height() * forms::App::twipsPerPixelY() / 15); });
        win::skipOnError(
            [&] { x.setFontSize(x.fontSize() * forms::App::twipsPerPixelX() / 15); });
    }
    win::skipOnError([&] { update(); });
    win::skipOnError([&] { Timer1->start(); });
    return true;
}

void frmSplash::Timer1_Timer() {
    Timer1->stop();
    // Pure magenta lets the desktop show through and passes clicks on. A shape rather than
    // an alpha channel, so it holds on an X server without a compositor too.
    setMask(shapeWithoutKey(background_, transparentKey()));
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    form_->setLeft(desk.x() * tx + win::roundToInt32((desk.width() * tx - form_->width()) / 2));
    form_->setTop(desk.y() * ty + win::roundToInt32((desk.height() * ty - form_->height()) / 2));
    win::pumpMessages();
}

void frmSplash::Form_MouseMove(Qt::MouseButtons buttons, const QPoint& globalPos) {
    if (buttons & Qt::LeftButton) dragWithMouse(globalPos);
    imgFolipress->setPicture(QPixmap());
    imgLumidoc->setPicture(QPixmap());
    lblFolipress->hide();
    lblLumidoc->hide();
}

void frmSplash::Form_DblClick() { unloadAndEnd(); }

void frmSplash::Image1_Click() { unloadAndEnd(); }

void frmSplash::imgFolipress_Click() { startTool("folipress.exe"); }

void frmSplash::imgFolipress_MouseDown() { imgFolipress->setPicture(imgFolipressDark->picture()); }

void frmSplash::imgFolipress_MouseMove() { imgFolipress->setPicture(imgFolipressData->picture()); }

void frmSplash::imgLumidoc_Click() { startTool("lumidoc.exe"); }

void frmSplash::imgLumidoc_MouseDown() { imgLumidoc->setPicture(imgLumidocdark->picture()); }

void frmSplash::imgLumidoc_MouseMove() { imgLumidoc->setPicture(imgLumidocdata->picture()); }

void frmSplash::startTool(const QString& exeFile) {
    const QString file = forms::App::path() + "\\" + exeFile;
    const win::StartedProcess started = win::startProcess(file);
    if (!started.started) {
        if (started.errorNumber == ENOENT) {
            throw win::RuntimeError(win::kErrFileNotFound, "File not found: " + file);
        }
        throw win::RuntimeError(win::kErrInvalidCall,
                                "Cannot start " + file + ": " +
                                    win::systemErrorText(started.errorNumber));
    }
    unloadAndEnd();
}

void frmSplash::dragWithMouse(const QPoint& globalPos) {
    if (ownDrag_) {
        move(globalPos - dragOffset_);
        return;
    }
    // The window system's own move follows the mouse until the button is released.
    if (QWindow* w = windowHandle(); w && w->startSystemMove()) return;
    // No move from the window system (no window manager): follow the mouse ourselves.
    ownDrag_ = true;
    move(globalPos - dragOffset_);
}

void frmSplash::handle(const std::function<void()>& handler) {
    if (ending_) return;
    try {
        handler();
    } catch (const win::RuntimeError& e) {
        reportErrorAndEnd(e);
    }
}

void frmSplash::reportErrorAndEnd(const win::RuntimeError& error) {
    ending_ = true;
    forms::msgBox(QString("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()),
                  forms::vbCritical);
    emit ended(1);
}

void frmSplash::unloadAndEnd() {
    if (ending_) return;
    ending_ = true;
    Timer1->stop();
    close();
    emit ended(0);
}

void frmSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
}

void frmSplash::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
}

void frmSplash::mouseMoveEvent(QMouseEvent* event) {
    const Qt::MouseButtons buttons = event->buttons();
    const QPoint at = event->globalPosition().toPoint();
    handle([&] { Form_MouseMove(buttons, at); });
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) ownDrag_ = false;
}

void frmSplash::mouseDoubleClickEvent(QMouseEvent*) {
    handle([this] { Form_DblClick(); });
}
