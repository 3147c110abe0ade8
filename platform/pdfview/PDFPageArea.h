#pragma once
// The scrolling page area of the viewer control. Pages are laid out from their sizes alone and
// rendered tile by tile as they come into view, so a long document opens and pages at once and
// a high zoom never renders a whole page.
#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QSizeF>

#include <vector>

namespace Poppler {
class Document;
}

class PDFPageArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum Layout { SinglePage = 1, Continuous = 2 };
    enum Fit { NoFit, FitWidth, FitPage };

    explicit PDFPageArea(QWidget* parent = nullptr);

    // The document is not owned; nullptr clears the area.
    void setDocument(Poppler::Document* doc);
    bool hasDocument() const { return doc_ != nullptr; }
    int pageCount() const { return static_cast<int>(sizes_.size()); }

    int currentPage() const { return current_; }  // 0-based
    void goToPage(int index);                      // clamped to the document

    double zoom() const { return zoom_; }
    // Sets the zoom (clamped by the caller) and ends any fit mode.
    void setZoom(double zoom);
    // Zooms so the current page's width, or the whole page, fills the view; kept on resize.
    void fit(Fit mode);
    Fit fitMode() const { return fit_; }

    Layout layout() const { return layout_; }
    void setLayout(Layout layout);

    long renderedTiles() const { return renderedTiles_; }

signals:
    void currentPageChanged();
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double pixelsPerPoint() const;
    QSize pagePixels(int index) const;
    void relayout();                 // page offsets and scroll ranges for the zoom and layout
    void scrollToPageTop(int index);
    void updateCurrentFromScroll();
    double fitZoom(Fit mode) const;
    void applyFit();
    QSize tileExtent(QSize pageSize) const;  // the whole page, or a tile of a large one
    // Renders the tiles of `range` (tile columns and rows) that are not cached yet.
    void renderTiles(int page, const QRect& range, QSize pageSize);

    Poppler::Document* doc_ = nullptr;
    std::vector<QSizeF> sizes_;     // page sizes in points
    std::vector<qint64> offsets_;   // top of each page in the continuous layout (pixels)
    qint64 contentWidth_ = 0;
    qint64 contentHeight_ = 0;
    int current_ = 0;
    double zoom_ = 1.0;
    Fit fit_ = NoFit;
    Layout layout_ = SinglePage;
    bool navigating_ = false;
    QCache<quint64, QImage> tiles_;
    long renderedTiles_ = 0;
    double tileRatio_ = 1.0;  // device pixel ratio the cached tiles were rendered for
};
