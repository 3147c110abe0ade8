#include "ButtonIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace ButtonIcons {

namespace {

const QColor kInk(0x2d, 0x4a, 0x7a);
const QColor kPaper(0xfb, 0xfb, 0xf7);
const QColor kAccent(0x3a, 0x9a, 0x4a);
const QColor kWarm(0xd9, 0x8a, 0x1c);

// All drawings on a 24-unit grid, scaled to the asked size.
void page(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(kInk.lighter(160), 1));
    for (double y = r.top() + 3; y < r.bottom() - 1.5; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void arrow(QPainter& p, bool right, double cx, double cy, double s) {
    QPainterPath path;
    const double d = right ? 1 : -1;
    path.moveTo(cx - d * s, cy - s);
    path.lineTo(cx + d * s * 0.6, cy);
    path.lineTo(cx - d * s, cy + s);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPath(path);
}

void magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 2.2));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
    p.setPen(QPen(plus ? kAccent : kWarm, 2.2));
    p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    if (plus)
        p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
}

void draw(QPainter& p, const QString& name) {
    if (name == "open") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kWarm.lighter(130));
        QPainterPath back;
        back.moveTo(2, 6);
        back.lineTo(9, 6);
        back.lineTo(11, 8);
        back.lineTo(20, 8);
        back.lineTo(20, 19);
        back.lineTo(2, 19);
        back.closeSubpath();
        p.drawPath(back);
        page(p, QRectF(8, 3, 10, 12));
        p.setBrush(kWarm);
        QPainterPath front;
        front.moveTo(2, 19);
        front.lineTo(5, 11);
        front.lineTo(23, 11);
        front.lineTo(20, 19);
        front.closeSubpath();
        p.drawPath(front);
    } else if (name == "exit") {
        p.setPen(QPen(kInk, 1.4));
        p.setBrush(QColor(0xb8, 0x7a, 0x4c));
        p.drawRect(QRectF(4, 3, 10, 18));
        p.setBrush(kInk);
        p.drawEllipse(QPointF(12, 12), 1, 1);
        p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 12), QPointF(21, 12));
        p.drawLine(QPointF(18, 9), QPointF(21, 12));
        p.drawLine(QPointF(18, 15), QPointF(21, 12));
    } else if (name == "index") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(2, 3, 20, 18));
        p.setBrush(kInk.lighter(180));
        p.drawRect(QRectF(2, 3, 7, 18));
        p.setPen(QPen(kInk, 1.4));
        for (double y : {7.0, 11.0, 15.0}) {
            p.drawLine(QPointF(3.5, y), QPointF(7.5, y));
        }
        p.setPen(QPen(kInk.lighter(160), 1));
        for (double y = 7; y < 20; y += 2.5)
            p.drawLine(QPointF(11, y), QPointF(20, y));
    } else if (name == "actualsize") {
        page(p, QRectF(3, 2, 18, 20));
        p.setPen(kInk);
        QFont f;
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.fillRect(QRectF(4.5, 8, 15, 9), kPaper);
        p.drawText(QRectF(3, 7, 18, 11), Qt::AlignCenter, "1:1");
    } else if (name == "zoomin" || name == "zoomout") {
        magnifier(p, name == "zoomin");
    } else if (name == "next" || name == "previous") {
        arrow(p, name == "next", 12, 12, 7);
    } else if (name == "first" || name == "last") {
        const bool last = name == "last";
        arrow(p, last, last ? 10 : 14, 12, 7);
        p.fillRect(last ? QRectF(17, 5, 3, 14) : QRectF(4, 5, 3, 14), kInk);
    } else if (name == "viewmode") {
        page(p, QRectF(2, 4, 9, 15));
        page(p, QRectF(13, 4, 9, 15));
    } else if (name == "fitwidth") {
        page(p, QRectF(5, 2, 14, 20));
        p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2, 12), QPointF(22, 12));
        arrow(p, false, 3.5, 12, 3);
        arrow(p, true, 20.5, 12, 3);
    }
}

}  // namespace

QString themeName(const QString& name) {
    static const QHash<QString, QString> names = {
        {"open", "document-open"},       {"exit", "application-exit"},
        {"index", "view-sidetree"},      {"actualsize", "zoom-original"},
        {"zoomin", "zoom-in"},           {"zoomout", "zoom-out"},
        {"first", "go-first"},           {"last", "go-last"},
        {"next", "go-next"},             {"previous", "go-previous"},
        {"viewmode", "view-dual"},       {"fitwidth", "zoom-fit-width"},
    };
    return names.value(name);
}

QPixmap drawn(const QString& name, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    draw(p, name);
    return pm;
}

QIcon icon(const QString& name) {
    QIcon fallback;
    for (int size : {16, 22, 24, 32, 48})
        fallback.addPixmap(drawn(name, size));
    return QIcon::fromTheme(themeName(name), fallback);
}

}  // namespace ButtonIcons
