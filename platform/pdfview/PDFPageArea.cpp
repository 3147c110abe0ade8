#include "PDFPageArea.h"

#include <poppler-qt6.h>

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr int kMargin = 8;    // around the pages
constexpr int kGap = 8;       // between pages in the continuous layout
constexpr int kTile = 512;    // rendered tile edge in pixels
// A page up to this size renders in one piece: a scanned page then decodes its image once.
constexpr qint64 kWholePagePixels = 6 * 1024 * 1024;
constexpr int kCacheKB = 96 * 1024;

quint64 tileKey(int page, int tx, int ty) {
    return (quint64(quint32(page)) << 32) | (quint64(quint16(tx)) << 16) | quint64(quint16(ty));
}

int clampToInt(qint64 v) { return int(std::clamp<qint64>(v, 0, INT_MAX / 2)); }
}  // namespace

PDFPageArea::PDFPageArea(QWidget* parent) : QAbstractScrollArea(parent), tiles_(kCacheKB) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    setFocusPolicy(Qt::StrongFocus);
}

void PDFPageArea::setDocument(Poppler::Document* doc) {
    doc_ = doc;
    sizes_.clear();
    tiles_.clear();
    renderedTiles_ = 0;
    current_ = 0;
    if (doc_) {
        // Sizes only: no page is rendered until it comes into view.
        const int n = doc_->numPages();
        sizes_.reserve(n);
        for (int i = 0; i < n; ++i) {
            std::unique_ptr<Poppler::Page> page = doc_->page(i);
            QSizeF s = page ? page->pageSizeF() : QSizeF();
            if (!(s.width() > 1 && s.height() > 1) || s.width() > 14400 || s.height() > 14400)
                s = QSizeF(612, 792);  // a damaged or absurd box: show a Letter-sized blank
            sizes_.push_back(s);
        }
    }
    relayout();
    navigating_ = true;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    navigating_ = false;
    if (fit_ != NoFit)
        applyFit();
    viewport()->update();
    emit currentPageChanged();
}

double PDFPageArea::pixelsPerPoint() const { return logicalDpiX() / 72.0; }

QSize PDFPageArea::pagePixels(int index) const {
    const QSizeF& s = sizes_[index];
    const double k = pixelsPerPoint() * zoom_;
    return QSize(std::max(1, int(std::lround(s.width() * k))),
                 std::max(1, int(std::lround(s.height() * k))));
}

void PDFPageArea::relayout() {
    offsets_.assign(sizes_.size(), 0);
    contentWidth_ = contentHeight_ = 0;
    if (!sizes_.empty()) {
        if (layout_ == Continuous) {
            qint64 y = kMargin;
            qint64 w = 0;
            for (size_t i = 0; i < sizes_.size(); ++i) {
                offsets_[i] = y;
                const QSize p = pagePixels(int(i));
                y += p.height() + kGap;
                w = std::max<qint64>(w, p.width());
            }
            contentHeight_ = y - kGap + kMargin;
            contentWidth_ = w + 2 * kMargin;
        } else {
            const QSize p = pagePixels(current_);
            offsets_[current_] = kMargin;
            contentHeight_ = p.height() + 2 * kMargin;
            contentWidth_ = p.width() + 2 * kMargin;
        }
    }
    const QSize vp = viewport()->size();
    navigating_ = true;
    verticalScrollBar()->setRange(0, clampToInt(contentHeight_ - vp.height()));
    verticalScrollBar()->setPageStep(std::max(1, vp.height()));
    horizontalScrollBar()->setRange(0, clampToInt(contentWidth_ - vp.width()));
    horizontalScrollBar()->setPageStep(std::max(1, vp.width()));
    navigating_ = false;
}

void PDFPageArea::scrollToPageTop(int index) {
    navigating_ = true;
    verticalScrollBar()->setValue(layout_ == Continuous ? clampToInt(offsets_[index] - kMargin) : 0);
    navigating_ = false;
}

void PDFPageArea::goToPage(int index) {
    if (sizes_.empty())
        return;
    index = std::clamp(index, 0, pageCount() - 1);
    const bool changed = index != current_;
    current_ = index;
    if (layout_ == SinglePage) {
        relayout();
        if (fit_ != NoFit)
            applyFit();  // pages may differ in size
    }
    scrollToPageTop(index);
    viewport()->update();
    if (changed)
        emit currentPageChanged();
}

void PDFPageArea::updateCurrentFromScroll() {
    if (navigating_ || layout_ != Continuous || sizes_.empty())
        return;
    // The page under a line a third down the view is the one being read.
    const qint64 probe = verticalScrollBar()->value() + viewport()->height() / 3;
    auto it = std::upper_bound(offsets_.begin(), offsets_.end(), probe);
    int index = std::max(0, int(it - offsets_.begin()) - 1);
    if (index != current_) {
        current_ = index;
        emit currentPageChanged();
    }
}

void PDFPageArea::setZoom(double zoom) {
    fit_ = NoFit;
    if (zoom == zoom_)
        return;
    // Keep the same spot of the current page at the top of the view.
    double within = 0;
    if (!sizes_.empty()) {
        const qint64 top = offsets_[current_];
        within = (verticalScrollBar()->value() + kMargin - top) / double(pagePixels(current_).height());
    }
    const double hFrac = contentWidth_ > 0
        ? (horizontalScrollBar()->value() + viewport()->width() / 2.0) / double(contentWidth_) : 0.5;
    zoom_ = zoom;
    tiles_.clear();
    relayout();
    if (!sizes_.empty()) {
        navigating_ = true;
        const qint64 y = offsets_[current_] - kMargin + qint64(within * pagePixels(current_).height());
        verticalScrollBar()->setValue(clampToInt(y));
        horizontalScrollBar()->setValue(clampToInt(qint64(hFrac * contentWidth_ - viewport()->width() / 2.0)));
        navigating_ = false;
    }
    viewport()->update();
    emit zoomChanged();
}

double PDFPageArea::fitZoom(Fit mode) const {
    if (sizes_.empty())
        return zoom_;
    const QSizeF& s = sizes_[current_];
    // Leave room for a vertical scroll bar so fitting does not make one appear and refit.
    const double availW = std::max(16, viewport()->width() - 2 * kMargin -
                                           (verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
    const double availH = std::max(16, viewport()->height() - 2 * kMargin);
    const double k = pixelsPerPoint();
    const double zw = availW / (s.width() * k);
    if (mode == FitWidth)
        return zw;
    return std::min(zw, availH / (s.height() * k));
}

void PDFPageArea::applyFit() {
    const Fit mode = fit_;
    const double z = fitZoom(mode);
    if (std::abs(z - zoom_) > 1e-9)
        setZoom(z);
    fit_ = mode;
    if (mode == FitPage)
        scrollToPageTop(current_);
}

void PDFPageArea::fit(Fit mode) {
    if (sizes_.empty())
        return;
    fit_ = mode;
    applyFit();
    emit zoomChanged();
}

void PDFPageArea::setLayout(Layout layout) {
    if (layout == layout_)
        return;
    layout_ = layout;
    relayout();
    if (fit_ != NoFit)
        applyFit();
    if (!sizes_.empty())
        scrollToPageTop(current_);
    viewport()->update();
}

void PDFPageArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    if (fit_ != NoFit)
        applyFit();
}

void PDFPageArea::scrollContentsBy(int, int) {
    updateCurrentFromScroll();
    viewport()->update();
}

void PDFPageArea::wheelEvent(QWheelEvent* event) {
    // In the single-page layout the wheel turns the page at either end of it.
    if (layout_ == SinglePage && !sizes_.empty() && !(event->modifiers() & Qt::ControlModifier)) {
        QScrollBar* v = verticalScrollBar();
        const int dy = event->angleDelta().y();
        if (dy < 0 && v->value() >= v->maximum() && current_ + 1 < pageCount()) {
            goToPage(current_ + 1);
            event->accept();
            return;
        }
        if (dy > 0 && v->value() <= v->minimum() && current_ > 0) {
            goToPage(current_ - 1);
            navigating_ = true;
            v->setValue(v->maximum());
            navigating_ = false;
            event->accept();
            return;
        }
    }
    QAbstractScrollArea::wheelEvent(event);
}

QSize PDFPageArea::tileExtent(QSize pageSize) const {
    const double dpr = devicePixelRatioF();
    if (qint64(pageSize.width()) * pageSize.height() * dpr * dpr <= kWholePagePixels)
        return pageSize;
    return QSize(kTile, kTile);
}

void PDFPageArea::renderTiles(int page, const QRect& range, QSize pageSize) {
    // The missing tiles of the visible block render in one call: a scanned page then decodes
    // its image once per paint, not once per tile.
    QRect missing;
    for (int ty = range.top(); ty <= range.bottom(); ++ty)
        for (int tx = range.left(); tx <= range.right(); ++tx)
            if (!tiles_.contains(tileKey(page, tx, ty)))
                missing |= QRect(tx, ty, 1, 1);
    if (missing.isEmpty())
        return;
    const QSize extent = tileExtent(pageSize);
    const double dpr = devicePixelRatioF();
    auto device = [dpr](int logical) { return int(std::lround(logical * dpr)); };
    const int x0 = missing.left() * extent.width();
    const int y0 = missing.top() * extent.height();
    const int x1 = std::min((missing.right() + 1) * extent.width(), pageSize.width());
    const int y1 = std::min((missing.bottom() + 1) * extent.height(), pageSize.height());
    QImage block;
    if (std::unique_ptr<Poppler::Page> p = doc_->page(page)) {
        // Rendered at the screen's device pixels, drawn at the layout's logical size.
        const double dpi = 72.0 * pixelsPerPoint() * zoom_ * dpr;
        block = p->renderToImage(dpi, dpi, device(x0), device(y0), device(x1) - device(x0),
                                 device(y1) - device(y0));
    }
    for (int ty = missing.top(); ty <= missing.bottom(); ++ty) {
        for (int tx = missing.left(); tx <= missing.right(); ++tx) {
            const quint64 key = tileKey(page, tx, ty);
            if (tiles_.contains(key))
                continue;
            const int lx = tx * extent.width();
            const int ly = ty * extent.height();
            const int rx = std::min(lx + extent.width(), pageSize.width());
            const int ry = std::min(ly + extent.height(), pageSize.height());
            // A failed render is kept as an empty tile so it is not retried at every paint.
            auto* piece = new QImage(block.isNull() ? QImage()
                                                    : block.copy(device(lx) - device(x0), device(ly) - device(y0),
                                                                 device(rx) - device(lx), device(ry) - device(ly)));
            piece->setDevicePixelRatio(dpr);
            ++renderedTiles_;
            tiles_.insert(key, piece, int(std::max<qsizetype>(1, piece->sizeInBytes() / 1024)));
        }
    }
}

void PDFPageArea::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (sizes_.empty() || !doc_)
        return;
    if (devicePixelRatioF() != tileRatio_) {
        tiles_.clear();  // moved to a screen of another density
        tileRatio_ = devicePixelRatioF();
    }
    const qint64 sx = horizontalScrollBar()->value();
    const qint64 sy = verticalScrollBar()->value();
    const QRect dirty = event->rect();
    const qint64 top = sy + dirty.top();
    const qint64 bottom = sy + dirty.bottom();

    int first = current_;
    int last = current_;
    if (layout_ == Continuous) {
        auto it = std::upper_bound(offsets_.begin(), offsets_.end(), top);
        first = std::max(0, int(it - offsets_.begin()) - 1);
        auto jt = std::upper_bound(offsets_.begin(), offsets_.end(), bottom);
        last = std::max(first, int(jt - offsets_.begin()) - 1);
    }
    for (int i = first; i <= last; ++i) {
        const QSize ps = pagePixels(i);
        const qint64 px = std::max<qint64>(kMargin, (std::max<qint64>(contentWidth_, viewport()->width()) - ps.width()) / 2);
        const QRect pageRect(int(px - sx), int(offsets_[i] - sy), ps.width(), ps.height());
        const QRect visible = pageRect.intersected(dirty);
        if (visible.isEmpty())
            continue;
        painter.fillRect(pageRect.translated(2, 2).intersected(dirty), QColor(0, 0, 0, 60));
        painter.fillRect(visible, Qt::white);
        const QSize extent = tileExtent(ps);
        const int tx0 = (visible.left() - pageRect.left()) / extent.width();
        const int tx1 = (visible.right() - pageRect.left()) / extent.width();
        const int ty0 = (visible.top() - pageRect.top()) / extent.height();
        const int ty1 = (visible.bottom() - pageRect.top()) / extent.height();
        renderTiles(i, QRect(QPoint(tx0, ty0), QPoint(tx1, ty1)), ps);
        for (int ty = ty0; ty <= ty1; ++ty)
            for (int tx = tx0; tx <= tx1; ++tx)
                if (const QImage* img = tiles_.object(tileKey(i, tx, ty)); img && !img->isNull())
                    painter.drawImage(pageRect.left() + tx * extent.width(),
                                      pageRect.top() + ty * extent.height(), *img);
    }
}
