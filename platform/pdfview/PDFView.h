#pragma once
// The page viewer control: shows a PDF document page by page (poppler), with the members the
// viewer window and the recognition run use.
#include <QWidget>

class QAbstractScrollArea;
class QTreeWidget;

class PDFView : public QWidget {
    Q_OBJECT
public:
    explicit PDFView(QWidget* parent = nullptr);
    ~PDFView() override;

    // Current page counted from 1; -1 when no document is loaded.
    long CurrentPage() const;
    void setCurrentPage(short page);
    // 1.0 is 100 %.
    double ZoomFactor() const;
    void setZoomFactor(double zoom);
    // Number of pages; -1 when no document is loaded.
    long PageCount() const;

    void GoFirstPage();
    void GoLastPage();
    void GoNextPage();
    void GoPreviousPage();
    void SetLayoutMode(long mode);  // 1 or 2
    // Opens a document (Windows path). -2: the document needs a password (none or a wrong one
    // given); 0: opened; -1: it cannot be opened.
    long OpenDocument(const QString& path, const QString& password, long flags = 0);
    void CloseDocument();
    void ShowBookmarkPane(long show);  // 1 show, 0 hide
    void FitToWidth();
    void FitToPage();

    // Zoom limits: a request outside them is clamped.
    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 16.0;

    // For tests and the window: state that the members above do not read back.
    long layoutMode() const;           // 1 single page, 2 continuous
    bool bookmarkPaneVisible() const;  // the pane's own state (also false while hidden by parent)
    QTreeWidget* bookmarkTree() const;
    QAbstractScrollArea* pageArea() const;
    // Pages rendered since the document was opened (each visible tile counts once).
    long renderedTileCount() const;

signals:
    // Page, page count or zoom changed (the window refreshes its status line).
    void viewChanged();

private:
    struct Impl;
    Impl* d_;
};
