#include "PDFView.h"

#include "PDFPageArea.h"
#include "win/CodePage.h"
#include "win/WinPath.h"

#include <poppler-qt6.h>

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

void quietPoppler(const QString&, const QVariant&) {}

// Outline of a hostile document may be huge or deep; this much is plenty to navigate.
constexpr int kMaxOutlineItems = 20000;
constexpr int kMaxOutlineDepth = 64;

void addOutline(const QVector<Poppler::OutlineItem>& items, QTreeWidgetItem* parent,
                QTreeWidget* tree, int depth, int& budget) {
    for (const Poppler::OutlineItem& item : items) {
        if (budget-- <= 0)
            return;
        auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        node->setText(0, item.name());
        int page = 0;
        if (QSharedPointer<const Poppler::LinkDestination> dest = item.destination())
            page = dest->pageNumber();
        node->setData(0, Qt::UserRole, page);
        if (depth < kMaxOutlineDepth && item.hasChildren()) {
            addOutline(item.children(), node, tree, depth + 1, budget);
            node->setExpanded(item.isOpen());
        }
    }
}

}  // namespace

struct PDFView::Impl {
    std::unique_ptr<Poppler::Document> doc;
    QSplitter* splitter = nullptr;
    QTreeWidget* tree = nullptr;
    PDFPageArea* area = nullptr;
    bool paneShown = true;
};

PDFView::PDFView(QWidget* parent) : QWidget(parent), d_(new Impl) {
    Poppler::setDebugErrorFunction(quietPoppler, QVariant());

    d_->splitter = new QSplitter(Qt::Horizontal, this);
    d_->tree = new QTreeWidget(d_->splitter);
    d_->tree->setHeaderLabel(tr("Bookmarks"));
    d_->tree->setMinimumWidth(80);
    d_->area = new PDFPageArea(d_->splitter);
    d_->splitter->addWidget(d_->tree);
    d_->splitter->addWidget(d_->area);
    d_->splitter->setStretchFactor(0, 0);
    d_->splitter->setStretchFactor(1, 1);
    d_->splitter->setSizes({180, 600});
    d_->splitter->setChildrenCollapsible(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->splitter);

    connect(d_->area, &PDFPageArea::currentPageChanged, this, &PDFView::viewChanged);
    connect(d_->area, &PDFPageArea::zoomChanged, this, &PDFView::viewChanged);
    connect(d_->tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int page = item->data(0, Qt::UserRole).toInt();
        if (page >= 1)
            d_->area->goToPage(page - 1);
    });
    connect(d_->tree, &QTreeWidget::itemClicked, d_->tree, &QTreeWidget::itemActivated);
}

PDFView::~PDFView() {
    d_->area->setDocument(nullptr);
    delete d_;
}

long PDFView::CurrentPage() const {
    return d_->doc ? d_->area->currentPage() + 1 : -1;
}

void PDFView::setCurrentPage(short page) {
    if (d_->doc)
        d_->area->goToPage(page - 1);
}

double PDFView::ZoomFactor() const { return d_->area->zoom(); }

void PDFView::setZoomFactor(double zoom) {
    if (!std::isfinite(zoom))
        return;
    d_->area->setZoom(std::clamp(zoom, kMinZoom, kMaxZoom));
    emit viewChanged();
}

long PDFView::PageCount() const { return d_->doc ? d_->area->pageCount() : -1; }

void PDFView::GoFirstPage() { setCurrentPage(1); }

void PDFView::GoLastPage() {
    if (d_->doc)
        d_->area->goToPage(d_->area->pageCount() - 1);
}

void PDFView::GoNextPage() {
    if (d_->doc)
        d_->area->goToPage(d_->area->currentPage() + 1);
}

void PDFView::GoPreviousPage() {
    if (d_->doc)
        d_->area->goToPage(d_->area->currentPage() - 1);
}

void PDFView::SetLayoutMode(long mode) {
    if (mode == 1 || mode == 2)
        d_->area->setLayout(mode == 1 ? PDFPageArea::SinglePage : PDFPageArea::Continuous);
}

long PDFView::OpenDocument(const QString& path, const QString& password, long /*flags*/) {
    CloseDocument();
    const QString host = win::toHostPath(path);
    if (!QFileInfo(host).isFile())
        return -1;
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(host);
    if (!doc)
        return -1;
    if (doc->isLocked()) {
        if (password.isEmpty())
            return -2;
        // The password's bytes depend on the document's encryption revision; try the usual forms.
        for (const QByteArray& pw : {password.toUtf8(), win::toAnsi(password), password.toLatin1()}) {
            doc->unlock(pw, pw);
            if (!doc->isLocked())
                break;
        }
        if (doc->isLocked())
            return -2;
    }
    if (doc->numPages() <= 0)
        return -1;
    doc->setRenderHint(Poppler::Document::Antialiasing);
    doc->setRenderHint(Poppler::Document::TextAntialiasing);
    doc->setRenderHint(Poppler::Document::TextHinting);
    d_->doc = std::move(doc);
    d_->area->setDocument(d_->doc.get());
    int budget = kMaxOutlineItems;
    addOutline(d_->doc->outline(), nullptr, d_->tree, 0, budget);
    bool nested = false;
    for (int i = 0; i < d_->tree->topLevelItemCount() && !nested; ++i)
        nested = d_->tree->topLevelItem(i)->childCount() > 0;
    d_->tree->setRootIsDecorated(nested);
    emit viewChanged();
    return 0;
}

void PDFView::CloseDocument() {
    d_->tree->clear();
    d_->area->setDocument(nullptr);
    const bool had = d_->doc != nullptr;
    d_->doc.reset();
    if (had)
        emit viewChanged();
}

void PDFView::ShowBookmarkPane(long show) {
    d_->paneShown = show != 0;
    d_->tree->setVisible(d_->paneShown);
}

void PDFView::FitToWidth() {
    d_->area->fit(PDFPageArea::FitWidth);
    emit viewChanged();
}

void PDFView::FitToPage() {
    d_->area->fit(PDFPageArea::FitPage);
    emit viewChanged();
}

long PDFView::layoutMode() const { return d_->area->layout(); }
bool PDFView::bookmarkPaneVisible() const { return d_->paneShown; }
QTreeWidget* PDFView::bookmarkTree() const { return d_->tree; }
QAbstractScrollArea* PDFView::pageArea() const { return d_->area; }
long PDFView::renderedTileCount() const { return d_->area->renderedTiles(); }
