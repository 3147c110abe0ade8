#include "frmPrinting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "forms/App.h"
#include "forms/FolderBrowserService.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"

#include "ShowImage.h"

namespace {

const QString kDefaultOutput = QStringLiteral("C:\\output");
const QString kHomePage = QStringLiteral("https://lumidoc.example/");
const QString kAboutNotice = QStringLiteral(
    "Lumidoc - Scanned Image To PDF\r\n\r\n"
    "Gathers scanned images in the order you choose and joins them into one PDF document "
    "with its title, author, subject and keywords.\r\n\r\n"
    "Part of the Lumidoc suite.");

// A toolbar button: a 32 x 32 picture above its caption, like a graphical command button.
class ToolBarButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        opt.icon = QIcon();
        p.drawControl(QStyle::CE_PushButton, opt);
        const QSize iconSize(32, 32);
        const QFontMetrics fm(font());
        const int textHeight = fm.height();
        const int top = qMax(2, (height() - iconSize.height() - 2 - textHeight) / 2);
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QPixmap pm = icon().pixmap(iconSize, devicePixelRatioF(), mode);
        p.drawPixmap((width() - iconSize.width()) / 2, top, pm);
        const QRect textRect(2, top + iconSize.height() + 2, width() - 4, textHeight);
        p.drawItemText(textRect, Qt::AlignHCenter | Qt::AlignTop, opt.palette, isEnabled(),
                       caption, QPalette::ButtonText);
    }
};

// Theme icon with our own picture as the fallback.
QIcon toolIcon(const char* themeName, const char* fallback) {
    const QIcon own(QStringLiteral(":/folipress/art/%1.png").arg(QLatin1String(fallback)));
    return QIcon::fromTheme(QLatin1String(themeName), own);
}

int toPixelsX(int twips) { return qRound(twips / forms::App::twipsPerPixelX()); }
int toPixelsY(int twips) { return qRound(twips / forms::App::twipsPerPixelY()); }

// Edges are rounded, not sizes, so that controls laid edge to edge in twips stay apart.
void place(QWidget* w, int left, int top, int width, int height) {
    const int x = toPixelsX(left);
    const int y = toPixelsY(top);
    w->setGeometry(x, y, toPixelsX(left + width) - x, toPixelsY(top + height) - y);
}

// A label sized to its caption at a twip position.
QLabel* label(QWidget* parent, const QString& caption, int left, int top) {
    auto* l = new QLabel(caption, parent);
    l->adjustSize();
    l->move(toPixelsX(left), toPixelsY(top));
    return l;
}

QLineEdit* textBox(QWidget* parent, const QString& text, int left, int top, int width) {
    auto* t = new QLineEdit(text, parent);
    place(t, left, top, width, 315);
    return t;
}

// The list box's selection as the runtime sees it: -1 when no entry is selected.
int listIndex(const QListWidget* list) {
    const int row = list->currentRow();
    return (row >= 0 && list->item(row) && list->item(row)->isSelected()) ? row : -1;
}

// Removes entry i (a bad index is an invalid call); the list has no selection afterwards.
void removeItem(QListWidget* list, int i) {
    if (i < 0 || i >= list->count())
        throw win::RuntimeError(win::kErrInvalidCall, "Invalid procedure call or argument");
    const QSignalBlocker quiet(list);
    delete list->takeItem(i);
    list->setCurrentRow(-1);
    list->clearSelection();
}

void swapTexts(QListWidget* list, int i, int j) {
    QListWidgetItem* a = list->item(i);
    QListWidgetItem* b = list->item(j);
    if (!a || !b)
        throw win::RuntimeError(win::kErrInvalidCall, "Invalid procedure call or argument");
    const QString kept = a->text();
    a->setText(b->text());
    b->setText(kept);
}

}  // namespace

// Resources of a static library are registered by hand.
static void initArt() { Q_INIT_RESOURCE(folipress); }

frmPrinting::frmPrinting(QWidget* parent) : QMainWindow(parent) {
    initArt();
    setWindowTitle(QStringLiteral("Lumidoc - Scanned Image To PDF"));
    // Without Tahoma, a condensed face keeps the captions inside the widths laid out for it
    // (the page-number label runs up to the document-title column).
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                   QStringLiteral("Liberation Sans Narrow"), f.family()});
    f.setPointSize(9);
    setFont(f);

    auto* client = new QWidget(this);
    client->setFixedSize(toPixelsX(11295), toPixelsY(7560));
    setCentralWidget(client);

    // Toolbar, left to right: Add, Add Folder, Remove, Clean, Move Up, Move Down, then Exit at
    // the right edge.
    struct Tool {
        const char* caption;
        const char* tip;
        const char* theme;
        const char* art;
        int left;
    };
    const Tool tools[7] = {
        {"Add", "Add a PDF File", "list-add", "add", 30},
        {"Add Folder", "Add PDF Files from a Folder", "folder-open", "folder", 1450},
        {"Remove", "Remove File(s) from List", "list-remove", "remove", 2870},
        {"Clean", "Remove all from File List", "edit-clear", "clean", 4290},
        {"Move Down", "Move selected Down", "go-down", "down", 7130},
        {"Exit", "Exit", "application-exit", "exit", 9845},
        {"Move Up", "Up", "go-up", "up", 5710},
    };
    for (short i = 0; i < 7; ++i) {
        auto* b = new ToolBarButton(QString::fromLatin1(tools[i].caption), client);
        b->setToolTip(QString::fromLatin1(tools[i].tip));
        b->setIcon(toolIcon(tools[i].theme, tools[i].art));
        place(b, tools[i].left, 15, 1420, 985);
        connect(b, &QPushButton::clicked, this, [this, i] { CmdToolsBar_Click(i); });
        CmdToolsBar << b;
    }

    // The lists and what sits over them.
    Label2 = label(client, QStringLiteral("File List:"), 150, 1140);
    lblPageNum = label(client, QStringLiteral("Page Number Of Selected File: 0"), 4740, 1140);
    List1 = new QListWidget(client);
    place(List1, 120, 1410, 7305, 4890);
    List2 = new QListWidget(client);
    place(List2, 120, 1410, 7305, 4890);
    for (QListWidget* l : {List1, List2}) {
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setUniformItemSizes(true);
    }
    // A list's click event follows its selection (the user's click, the arrow keys, or the
    // program setting the selected entry), not its current row: taking the focus makes the
    // first row current without selecting it.
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        if (listIndex(List1) >= 0) List1_Click();
    });
    connect(List2, &QListWidget::itemSelectionChanged, this, [this] {
        if (listIndex(List2) >= 0) List2_Click();
    });
    List2->setAcceptDrops(true);
    List2->viewport()->setAcceptDrops(true);
    List2->viewport()->installEventFilter(this);

    auto* hint = new QFrame(client);
    hint->setFrameShape(QFrame::Panel);
    hint->setFrameShadow(QFrame::Sunken);
    hint->setAutoFillBackground(true);
    place(hint, 2640, 3450, 2235, 285);
    picText = hint;
    lblText = new QLabel(QStringLiteral("Drag && Drop Files Here"), picText);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setBuddy(picText);  // "&&" shows as one ampersand
    QFont bold = f;
    bold.setBold(true);
    lblText->setFont(bold);
    lblText->setAlignment(Qt::AlignCenter);
    {
        // A fallback font may be wider than the one the box was sized for: grow it about its
        // centre so the hint is never clipped.
        const int needed = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Drag & Drop Files Here")) +
                           2 * hint->frameWidth() + 8;
        const int neededHeight = QFontMetrics(bold).height() + 2 * hint->frameWidth() + 2;
        QRect r = hint->geometry();
        if (r.width() < needed) r.adjust(-(needed - r.width()) / 2, 0, (needed - r.width() + 1) / 2, 0);
        if (r.height() < neededHeight)
            r.adjust(0, -(neededHeight - r.height()) / 2, 0, (neededHeight - r.height() + 1) / 2);
        hint->setGeometry(r);
    }
    lblText->setGeometry(picText->contentsRect());
    picText->setAcceptDrops(true);
    picText->installEventFilter(this);

    // Document information.
    lblTitle = label(client, QStringLiteral("Document Title:"), 7710, 1140);
    txtTitle = textBox(client, QStringLiteral("New PDF Document"), 7710, 1380, 3450);
    lblCreateFor = label(client, QStringLiteral("Author:"), 7710, 1800);
    txtCreateFor = textBox(client, QStringLiteral("Folipress Converter"), 7710, 2040, 3450);
    lblCreationDate = label(client, QStringLiteral("Creation Date:"), 7710, 2460);
    txtCreationDate = textBox(client, QString(), 7710, 2700, 2730);
    Command1 = new QPushButton(QStringLiteral("Now"), client);
    place(Command1, 10500, 2685, 660, 345);
    lblSubject = label(client, QStringLiteral("Subject:"), 7710, 3120);
    txtSubject = textBox(client, QStringLiteral("New Subject"), 7710, 3360, 3450);
    lblKeywords = label(client, QStringLiteral("Keywords:"), 7710, 3780);
    txtKeywords = textBox(client, QString(), 7710, 4020, 3450);
    Label3 = label(client, QStringLiteral("Output Path:"), 7710, 4440);
    txtPath = textBox(client, kDefaultOutput, 7710, 4680, 2550);
    txtPath->setToolTip(QStringLiteral("Select a Folder to Output"));
    cmdBrowse = new QPushButton(QStringLiteral("Browse"), client);
    cmdBrowse->setToolTip(QStringLiteral("Select an Output Folder"));
    place(cmdBrowse, 10320, 4665, 840, 345);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });

    lblJPG = label(client, QStringLiteral("Compress Quality:"), 7710, 5130);
    lblQuality = label(client, QStringLiteral("100%"), 9450, 5130);
    lblQuality->setMinimumWidth(toPixelsX(600));
    lblQtt = label(client, QStringLiteral("Good"), 10290, 5130);
    lblQtt->setMinimumWidth(toPixelsX(870));
    Slider1 = new QSlider(Qt::Horizontal, client);
    Slider1->setRange(0, 100);
    Slider1->setValue(100);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(10);
    Slider1->setPageStep(10);
    place(Slider1, 7710, 5400, 3450, 450);

    Command3 = new QPushButton(QStringLiteral("Convert To PDF Now"), client);
    Command3->setFont(bold);
    place(Command3, 7710, 6270, 3465, 825);

    pb = new QProgressBar(client);
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);
    place(pb, 120, 6420, 7305, 285);
    lblPB = label(client, QStringLiteral("0%"), 120, 6780);
    lblPB->setMinimumWidth(toPixelsX(7305));  // "Preparing Files...100%" and the like

    txtConvert = new QLineEdit(QStringLiteral("Text1"), client);
    txtConvert->hide();
    PicLoad = new QLabel(client);
    PicLoad->hide();

    prewImage = new ShowImage(client);
    place(prewImage, 120, 7140, 300, 300);
    prewImage->hide();

    // The start picture covers the list area until the first toolbar action.
    auto* door = new QLabel(client);
    door->setPixmap(QPixmap(QStringLiteral(":/folipress/art/door.png")));
    door->setScaledContents(true);
    place(door, 30, 1020, 11235, 6165);
    door->setMouseTracking(true);
    door->setAcceptDrops(true);
    door->installEventFilter(this);
    picDoor = door;
    imgAdd = new QLabel(picDoor);
    place(imgAdd, 3390, 4960, 3990, 435);
    imgAdd->setScaledContents(true);
    imgAdd->setMouseTracking(true);
    imgAdd->setCursor(QCursor(QPixmap(QStringLiteral(":/folipress/art/cursor.png")), 6, 1));
    imgAdd->installEventFilter(this);
    imgAddData = new QLabel(picDoor);
    imgAddData->setPixmap(QPixmap(QStringLiteral(":/folipress/art/addhover.png")));
    imgAddData->hide();
    picDoor->raise();

    // Menus: each item stands for a toolbar button.
    auto item = [this](QMenu* m, const QString& caption, short index) {
        QAction* a = m->addAction(caption);
        connect(a, &QAction::triggered, this, [this, index] { CmdToolsBar_Click(index); });
        return a;
    };
    QMenu* menuFile = menuBar()->addMenu(QStringLiteral("File"));
    menuAdd = item(menuFile, QStringLiteral("Add a File"), 0);
    menuFolder = item(menuFile, QStringLiteral("Add Folder"), 1);
    menuFile->addSeparator();
    menuExit = item(menuFile, QStringLiteral("Exit"), 5);
    QMenu* menuR = menuBar()->addMenu(QStringLiteral("Remove"));
    menuRemove = item(menuR, QStringLiteral("Remove a File"), 2);
    menuRemoveAll = item(menuR, QStringLiteral("Remove All Files"), 3);
    QMenu* menuContrl = menuBar()->addMenu(QStringLiteral("Control"));
    menuUp = item(menuContrl, QStringLiteral("Move Up"), 6);
    menuDown = item(menuContrl, QStringLiteral("Move Down"), 4);
    QMenu* menuA = menuBar()->addMenu(QStringLiteral("About"));
    menuWeb = menuA->addAction(QStringLiteral("Website"));
    connect(menuWeb, &QAction::triggered, this, [this] { menuWeb_Click(); });
    menuA->addSeparator();
    menuAbout = menuA->addAction(QStringLiteral("About"));
    connect(menuAbout, &QAction::triggered, this, [this] { menuAbout_Click(); });

    // Handlers of the load and conversion code.
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Slider1, &QSlider::valueChanged, this, [this] { Slider1_Change(); });

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

frmPrinting::~frmPrinting() = default;

void frmPrinting::CmdToolsBar_Click(short Index) {
    win::skipOnError([&] { picDoor->hide(); });
    win::pumpMessages();
    switch (Index) {
        case 0:
            win::skipOnError([&] { AddFile(); });
            break;
        case 1:
            win::skipOnError([&] { AddFolder(); });
            picDoor->hide();
            win::pumpMessages();
            break;
        case 2:  // Remove
            if (List1->count() == 0) break;
            win::skipOnError([&] { removeItem(List1, listIndex(List2)); });
            win::skipOnError([&] { removeItem(List2, listIndex(List2)); });
            if (List1->count() == 0) picText->show();
            break;
        case 3:  // Clean
            List1->clear();
            List2->clear();
            picText->show();
            break;
        case 4:  // Move Down
        case 6: {  // Move Up
            const int i = listIndex(List2);
            const int n = List2->count();
            const int j = Index == 4 ? i + 1 : i - 1;
            if (i < 0 || j < 0 || j >= n) break;
            win::skipOnError([&] { swapTexts(List1, listIndex(List2), j); });
            List1->setCurrentRow(j);
            win::skipOnError([&] { swapTexts(List2, listIndex(List2), j); });
            List2->setCurrentRow(j);
            break;
        }
        case 5:
            close();
            break;
        default:
            break;
    }
}

bool frmPrinting::FolderExists(const QString& path) {
    // The ANSI file interface sees "?" for what the code page cannot carry, and no folder
    // name holds a wildcard.
    const QString ansi = win::fromAnsi(win::toAnsi(path));
    if (ansi != path || ansi.contains('?') || ansi.contains('*') || ansi.isEmpty()) return false;
    return win::folderExists(ansi);
}

void frmPrinting::FocusToolButtons() {
    for (QPushButton* b : CmdToolsBar) {
        if (b->isEnabled() && b->isVisibleTo(this) && b->focusPolicy() != Qt::NoFocus)
            b->setFocus(Qt::OtherFocusReason);
    }
}

void frmPrinting::List1_Click() {
    lblPageNum->setText(QStringLiteral("Page Number of Selected File: %1").arg(List1->currentRow() + 1));
    lblPageNum->adjustSize();
}

void frmPrinting::List2_Click() {
    lblPageNum->setText(QStringLiteral("Page Number of Selected File: %1").arg(List2->currentRow() + 1));
    lblPageNum->adjustSize();
}

void frmPrinting::imgAdd_Click() { CmdToolsBar_Click(0); }

void frmPrinting::cmdBrowse_Click() {
    win::skipOnError([&] {
        const QString chosen = forms::folderBrowser().browseForFolder(
            this, QStringLiteral("Please select a folder:"), forms::BIF_RETURNONLYFSDIRS);
        // The browser hands back the path in the ANSI code page.
        txtPath->setText(chosen.isEmpty() ? kDefaultOutput : win::fromAnsi(win::toAnsi(chosen)));
    });
    win::skipOnError([&] {
        if (!FolderExists(txtPath->text())) {
            txtPath->setText(kDefaultOutput);
            forms::msgBox(QStringLiteral("The path has unknown characters.\r\n"
                                         "Changed to the default path C:\\Output."),
                          forms::vbOKOnly, QStringLiteral("Path"));
        }
    });
    FocusToolButtons();
}

void frmPrinting::menuWeb_Click() { forms::shellOpen(kHomePage); }

void frmPrinting::menuAbout_Click() {
    forms::msgBox(kAboutNotice, forms::vbOKOnly, QStringLiteral("about"));
    FocusToolButtons();
}

void frmPrinting::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

bool frmPrinting::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == imgAdd) {
        // Mouse events stop here: passed on, they would reach picDoor and clear the picture.
        if (type == QEvent::MouseMove) {
            imgAdd->setPixmap(imgAddData->pixmap());
            return true;
        } else if (type == QEvent::MouseButtonPress) {
            imgAdd->setPixmap(QPixmap());
            return true;
        } else if (type == QEvent::MouseButtonRelease) {
            const auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton && imgAdd->rect().contains(me->position().toPoint())) {
                imgAdd_Click();
                return true;
            }
        }
        return false;
    }
    const bool dropTarget = watched == picDoor || watched == picText ||
                            (List2 && watched == List2->viewport());
    if (!dropTarget) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == picDoor && type == QEvent::MouseMove) {
        imgAdd->setPixmap(QPixmap());
        return false;
    }
    switch (type) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* de = static_cast<QDragMoveEvent*>(event);
            de->setDropAction(Qt::CopyAction);
            de->accept();
            if (watched == List2->viewport()) List2_OLEDragOver();
            return true;
        }
        case QEvent::Drop: {
            auto* de = static_cast<QDropEvent*>(event);
            de->setDropAction(Qt::CopyAction);
            de->accept();
            const QMimeData* data = de->mimeData();
            if (watched == picDoor)
                picDoor_OLEDragDrop(data);
            else if (watched == picText)
                picText_OLEDragDrop(data);
            else
                List2_OLEDragDrop(data);
            return true;
        }
        default:
            return false;
    }
}
