#include "tagging/ui/frmImages.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/Preview.h"
#include "articles/ui/TabCombo.h"
#include "articles/ui/fWeb.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/JpegImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

static WindowRegistrar reg(QStringLiteral("frmImages"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmImages(parent); });

namespace {

const QColor UsedColour(203, 228, 228);

// Image list entries: used images on their colour, the current one bold (yellow while the
// list has the focus, green otherwise).
class TImageListPainter : public QStyledItemDelegate {
public:
    TImageListPainter(QObject* parent, std::function<bool(const QString&)> used)
        : QStyledItemDelegate(parent), m_used(std::move(used))
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString name = index.data().toString();
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = selected && (option.state & QStyle::State_HasFocus);
        painter->save();
        QColor back = m_used(name) ? UsedColour : QColor(Qt::white);
        if (focused)
            back = QColor(0, 0, 128);
        painter->fillRect(option.rect, back);
        QFont f = option.font;
        f.setBold(selected);
        painter->setFont(f);
        painter->setPen(focused ? QColor(Qt::yellow) : selected ? QColor(0, 128, 0) : QColor(Qt::black));
        painter->drawText(option.rect.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, name);
        painter->restore();
    }

private:
    std::function<bool(const QString&)> m_used;
};

// Grid cells as every grid draws them, with the current cell marked: it is where Enter puts
// the image, so the operator must always see it.
class TLinkCellPainter : public TGridCellPainter {
public:
    using TGridCellPainter::TGridCellPainter;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (!view || view->currentIndex() != index) {
            TGridCellPainter::paint(painter, option, index);
            return;
        }
        const bool focused = view->hasFocus();
        painter->save();
        painter->fillRect(option.rect, focused ? option.palette.color(QPalette::Active, QPalette::Highlight)
                                               : QColor(176, 196, 222));
        painter->setPen(focused ? option.palette.color(QPalette::Active, QPalette::HighlightedText) : QColor(Qt::black));
        painter->drawText(option.rect.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                          index.data().toString());
        painter->restore();
    }
};

QImage ToImage(const TBitmap24& b)
{
    QImage img(b.pixels.data(), b.width, b.height, b.width * 3, QImage::Format_RGB888);
    return img.copy();
}

} // namespace

int LineUpWithTree(QTreeView* tree, QAbstractItemView* rows)
{
    tree->expandAll();
    tree->setItemsExpandable(false);
    tree->setRootIsDecorated(true);
    int height = tree->model()->rowCount() > 0 ? tree->visualRect(tree->model()->index(0, 0)).height() : 0;
    if (height <= 0)
        height = tree->fontMetrics().height() + 4;
    if (auto* grid = qobject_cast<QTableView*>(rows)) {
        grid->verticalHeader()->setMinimumSectionSize(1);
        grid->verticalHeader()->setDefaultSectionSize(height);
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    }
    // Both scroll by item and show a horizontal bar, so their scroll ranges agree.
    tree->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    rows->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tree->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!tree->property("linedUp").toBool()) {
        tree->setProperty("linedUp", true);
        QScrollBar* a = tree->verticalScrollBar();
        QScrollBar* b = rows->verticalScrollBar();
        QObject::connect(a, &QScrollBar::valueChanged, b, [b](int v) {
            if (b->value() != v)
                b->setValue(v);
        });
        QObject::connect(b, &QScrollBar::valueChanged, a, [a](int v) {
            if (a->value() != v)
                a->setValue(v);
        });
    }
    return height;
}

TfrmImages::TfrmImages(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmImages");
    setWindowTitle(QStringLiteral("이미지 연결"));

    SourceCombo = NewTabCombo(this, 160);
    tbReload = NewButton("tbReload", QStringLiteral("새로고침"), this);
    tbClearAll = NewButton("tbClearAll", QStringLiteral("초기화"), this);
    tbConnect = NewButton("tbConnect", QStringLiteral("선택"), this);
    tbConnect->setToolTip(QStringLiteral("Enter 키, 더블 클릭"));
    tbClear = NewButton("tbClear", QStringLiteral("해제"), this);
    tbSave = NewButton("tbSave", QStringLiteral("저장"), this);
    tbCancelClose = NewButton("tbCancelClose", QStringLiteral("작업취소"), this);
    CheckImgSimm = new QCheckBox(QStringLiteral("이미지연동"), this);
    CheckImgSimm->setObjectName("CheckImgSimm");
    auto* top = new QHBoxLayout;
    top->addWidget(SourceCombo);
    for (QPushButton* b : {tbReload, tbClearAll, tbConnect, tbClear, tbSave, tbCancelClose})
        top->addWidget(b);
    top->addWidget(CheckImgSimm);
    top->addStretch();

    SplitterMain = new QSplitter(Qt::Horizontal, this);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);

    // Left: the tree and the start/end grid, row for row under one caption strip.
    auto* left = new QWidget(SplitterMain);
    left->setObjectName("PanelLeft");
    SplitterLeft = new QSplitter(Qt::Horizontal, left);
    SplitterLeft->setObjectName("SplitterLeft");
    SplitterLeft->setChildrenCollapsible(false);
    TreeViewLeft = new TArticleTreeWidget(SplitterLeft);
    TreeViewLeft->setObjectName("TreeViewLeft");
    TreeViewLeft->setMinimumWidth(100);
    ConnectList = new QTableWidget(0, 2, SplitterLeft);
    ConnectList->setObjectName("ConnectList");
    ConnectList->setToolTip(QStringLiteral("넣기:Ener키,더블 클릭"));
    ConnectList->horizontalHeader()->hide();
    ConnectList->verticalHeader()->hide();
    ConnectList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ConnectList->setSelectionMode(QAbstractItemView::SingleSelection);
    ConnectList->setSelectionBehavior(QAbstractItemView::SelectItems);
    ConnectList->setMinimumWidth(120);
    ConnectList->setWordWrap(false);
    ConnectList->setItemDelegate(new TLinkCellPainter(ConnectList));
    SplitterLeft->setStretchFactor(0, 1);
    SplitterLeft->setStretchFactor(1, 0);
    SplitterLeft->setSizes({220, 180});
    auto* captions = new QHBoxLayout;
    auto* treeCaption = new QLabel(QStringLiteral("목차"), left);
    auto* gridCaption = new QLabel(QStringLiteral("시작 이미지 / 끝 이미지"), left);
    gridCaption->setObjectName("LabelConnectList");
    captions->addWidget(treeCaption, 1);
    captions->addWidget(gridCaption);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(2);
    leftLayout->addLayout(captions);
    leftLayout->addWidget(SplitterLeft, 1);

    // Middle: the article.
    fWebLeft = new TfWeb(SplitterMain);
    fWebLeft->setObjectName("fWebLeft");
    fWebLeft->eURL->parentWidget()->hide(); // the address bar

    // Right: the source images and the picture.
    PanelRight = new QWidget(SplitterMain);
    PanelRight->setObjectName("PanelRight");
    PanelImageFolder = new QLabel(PanelRight);
    PanelImageFolder->setObjectName("PanelImageFolder");
    PanelImageFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnRefreshImg = NewButton("btnRefreshImg", QStringLiteral("새로고침"), PanelRight);
    btnBigImage = NewButton("btnBigImage", QStringLiteral("크게 보기"), PanelRight);
    btnFixImage = NewButton("btnFixImage", QStringLiteral("작게 보기"), PanelRight);
    btnFixImage->hide();
    ImagesList = new QListWidget(PanelRight);
    ImagesList->setObjectName("ImagesList");
    ImagesList->setToolTip(QStringLiteral("넣기:Ener키,더블 클릭"));
    ImagesList->setFixedWidth(130);
    ImagesList->setItemDelegate(new TImageListPainter(ImagesList, [this](const QString& name) {
        return IsImageUsed(name, m_rows);
    }));
    ScrollBox1 = new QScrollArea(PanelRight);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setScaledContents(true);
    Image1->setMouseTracking(false);
    ScrollBox1->setWidget(Image1);
    auto* imageBar = new QHBoxLayout;
    imageBar->addWidget(btnRefreshImg);
    imageBar->addWidget(PanelImageFolder, 1);
    imageBar->addWidget(btnBigImage);
    imageBar->addWidget(btnFixImage);
    auto* imageRow = new QHBoxLayout;
    imageRow->setSpacing(2);
    imageRow->addWidget(ImagesList);
    imageRow->addWidget(ScrollBox1, 1);
    auto* rightLayout = new QVBoxLayout(PanelRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(imageBar);
    rightLayout->addLayout(imageRow, 1);

    SplitterMain->setStretchFactor(0, 0);
    SplitterMain->setStretchFactor(1, 1);
    SplitterMain->setStretchFactor(2, 1);
    SplitterMain->setSizes({400, 350, 500});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(SplitterMain, 1);

    SetDirtyButtons(tbSave, tbCancelClose);
    tbClear->setEnabled(false);

    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmImages::SourceComboChange);
    connect(TreeViewLeft, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewLeftChange(current); });
    connect(ConnectList, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { ConnectListSelectCell(row, column); });
    connect(ConnectList, &QTableWidget::cellDoubleClicked, this, [this](int, int) { tbConnectClick(); });
    connect(ImagesList, &QListWidget::currentRowChanged, this, [this](int) { ShowCurrentImage(); });
    connect(ImagesList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { tbConnectClick(); });
    connect(tbConnect, &QPushButton::clicked, this, &TfrmImages::tbConnectClick);
    connect(tbClear, &QPushButton::clicked, this, &TfrmImages::tbClearClick);
    connect(tbClearAll, &QPushButton::clicked, this, &TfrmImages::tbClearAllClick);
    connect(tbSave, &QPushButton::clicked, this, &TfrmImages::tbSaveClick);
    connect(tbReload, &QPushButton::clicked, this, &TfrmImages::tbReloadClick);
    connect(tbCancelClose, &QPushButton::clicked, this, &TfrmImages::CancelAndClose);
    connect(btnRefreshImg, &QPushButton::clicked, this, &TfrmImages::FillImageList);
    connect(btnBigImage, &QPushButton::clicked, this, [this] {
        m_fit = false;
        btnBigImage->hide();
        btnFixImage->show();
        LayOutImage();
    });
    connect(btnFixImage, &QPushButton::clicked, this, [this] {
        m_fit = true;
        btnFixImage->hide();
        btnBigImage->show();
        LayOutImage();
    });
    connect(SplitterLeft, &QSplitter::splitterMoved, this, [this] { FitColumns(); });
    connect(SplitterMain, &QSplitter::splitterMoved, this, [this] { LayOutImage(); });

    ConnectList->installEventFilter(this);
    ConnectList->viewport()->installEventFilter(this);
    ImagesList->installEventFilter(this);
    Image1->installEventFilter(this);
    ScrollBox1->viewport()->installEventFilter(this);

    // Opening: columns, the image list and the tab chooser; the tab loads once painted.
    FitColumns();
    FillImageList();
    {
        const QSignalBlocker block(SourceCombo);
        FillTabCombo(SourceCombo, myLIB.Jobs, QString());
        SourceCombo->setCurrentIndex(SourceCombo->count() > 0 ? 0 : -1);
    }
    m_comboIndex = SourceCombo->currentIndex();
}

void TfrmImages::showEvent(QShowEvent* event)
{
    TEditWindow::showEvent(event);
    LayOutImage();
}

void TfrmImages::Timer1Timer()
{
    Timer1->stop();
    LoadTab();
}

void TfrmImages::LoadTab()
{
    isInit = false;
    m_rows.clear();
    ConnectList->setRowCount(0);
    TreeViewLeft->clearArticles();
    tbClear->setEnabled(false);
    SetDirty(false);
    m_tab = ChosenTab();
    if (m_tab < 0 || !LoadArticleTree(TreeViewLeft, m_tab, true, window())) {
        isInit = true;
        return;
    }
    const int height = LineUpWithTree(TreeViewLeft, ConnectList);
    const QString path = ImageLinkFileName(myLIB.Jobs, m_tab);
    TImageLinks rows;
    const TLinkFileRead read = ReadImageLinks(path, TreeViewLeft->articleCount(), rows);
    if (!read.ok) {
        // A file that is there but unreadable is not replaced by an empty one.
        m_ui->ShowInfo(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다.\r\n") + read.error);
        isInit = true;
        return;
    }
    m_rows = rows;
    ConnectList->setRowCount(int(m_rows.size()));
    for (int i = 0; i < int(m_rows.size()); ++i) {
        ConnectList->setItem(i, 0, new QTableWidgetItem(m_rows[size_t(i)].start));
        ConnectList->setItem(i, 1, new QTableWidgetItem(m_rows[size_t(i)].end));
        ConnectList->setRowHeight(i, height);
    }
    FitColumns();
    isInit = true;
    TreeViewLeft->selectAbsolute(1);
    ImagesList->viewport()->update();
}

void TfrmImages::FillImageList()
{
    const QString folder = SourceImageFolder(myLIB.Jobs.WorkFolder);
    PanelImageFolder->setText(folder);
    m_images = ListSourceImages(myLIB.Jobs.WorkFolder);
    {
        const QSignalBlocker block(ImagesList);
        ImagesList->clear();
        ImagesList->addItems(m_images);
        ImagesList->setCurrentRow(m_images.isEmpty() ? -1 : 0);
    }
    ShowCurrentImage();
}

void TfrmImages::ShowCurrentImage()
{
    const int row = ImagesList->currentRow();
    ImagesList->viewport()->update();
    if (row < 0 || row >= m_images.size() || !ImagesList->currentItem()->isSelected()) {
        m_picture = QImage();
        Image1->clear();
        Image1->resize(0, 0);
        return;
    }
    TBitmap24 bitmap;
    QString error;
    if (!DecodeJpegFile(SourceImageFolder(myLIB.Jobs.WorkFolder) + '/' + m_images[row], bitmap, &error)) {
        m_ui->ShowInfo(QStringLiteral("Error : ") + error);
        return;
    }
    m_picture = ToImage(bitmap);
    Image1->setPixmap(QPixmap::fromImage(m_picture));
    LayOutImage();
}

void TfrmImages::LayOutImage()
{
    if (m_picture.isNull())
        return;
    if (m_fit) {
        // Stretched over the visible area; the page shape does not matter for finding text.
        Image1->setScaledContents(true);
        Image1->resize(ScrollBox1->viewport()->size());
        ScrollBox1->horizontalScrollBar()->setValue(0);
        ScrollBox1->verticalScrollBar()->setValue(0);
    } else {
        Image1->setScaledContents(false);
        Image1->resize(m_picture.size());
        // The right-hand edge of the page first.
        ScrollBox1->horizontalScrollBar()->setValue(ScrollBox1->horizontalScrollBar()->maximum());
        ScrollBox1->verticalScrollBar()->setValue(0);
    }
}

void TfrmImages::FitColumns()
{
    const int w = qMax(40, ConnectList->viewport()->width() / 2 - 2);
    ConnectList->setColumnWidth(0, w);
    ConnectList->setColumnWidth(1, w);
}

void TfrmImages::SetCell(int row, int column, const QString& value)
{
    TImageLink& r = m_rows[size_t(row)];
    (column == 0 ? r.start : r.end) = value;
    if (QTableWidgetItem* item = ConnectList->item(row, column))
        item->setText(value);
}

void TfrmImages::SourceComboChange(int index)
{
    if (TabChanging(index, [this] { return DirtyGivenUp(CancelEditsQuestion); }))
        LoadTab();
}

void TfrmImages::TreeViewLeftChange(QTreeWidgetItem* current)
{
    TreeViewLeft->viewport()->update();
    if (!isInit || m_following || !current || !TreeViewLeft->carriesArticle(current))
        return;
    m_following = true;
    PreviewSelectedArticle(m_tab, TreeViewLeft, fWebLeft, static_cast<QPlainTextEdit*>(nullptr));
    const int row = TreeViewLeft->absoluteIndex(current);
    const int column = qMax(0, ConnectList->currentColumn());
    if (row < ConnectList->rowCount() && ConnectList->currentRow() != row)
        ConnectList->setCurrentCell(row, column);
    m_following = false;
    if (row < ConnectList->rowCount())
        ConnectListSelectCell(ConnectList->currentRow(), ConnectList->currentColumn());
}

void TfrmImages::ConnectListSelectCell(int row, int column)
{
    if (!isInit || row < 0 || row >= int(m_rows.size()) || column < 0)
        return;
    if (!m_following) {
        m_following = true;
        if (row > 0 && TreeViewLeft->absoluteIndex(TreeViewLeft->currentItem()) != row) {
            TreeViewLeft->selectAbsolute(row);
            PreviewSelectedArticle(m_tab, TreeViewLeft, fWebLeft, static_cast<QPlainTextEdit*>(nullptr));
        }
        m_following = false;
    }
    const QString value = column == 0 ? m_rows[size_t(row)].start : m_rows[size_t(row)].end;
    tbClear->setEnabled(!value.isEmpty());
    if (CheckImgSimm->isChecked()) {
        const int image = m_images.indexOf(value);
        {
            const QSignalBlocker block(ImagesList);
            if (image >= 0) {
                ImagesList->setCurrentRow(image);
            } else {
                ImagesList->setCurrentRow(-1);
                ImagesList->clearSelection();
            }
        }
        ShowCurrentImage();
    }
}

void TfrmImages::tbConnectClick()
{
    if (!isInit)
        return;
    const int image = ImagesList->currentRow();
    if (image < 0 || !ImagesList->currentItem()->isSelected())
        return;
    int row = ConnectList->currentRow();
    int column = ConnectList->currentColumn();
    if (row < 0 || column < 0)
        row = column = -1;
    const TLinkStep step = PutImage(m_rows, m_images, image, row, column);
    if (step.changed) {
        SetCell(row, column, m_images[image]);
        SetDirty(true);
    }
    if (row >= 0)
        tbClear->setEnabled(true);
    ImagesList->viewport()->update();
    if (step.image != image)
        ImagesList->setCurrentRow(step.image);
    if (row >= 0 && (step.row != row || step.column != column))
        ConnectList->setCurrentCell(step.row, step.column);
}

void TfrmImages::tbClearClick()
{
    if (!isInit || ImagesList->currentRow() < 0)
        return;
    const int row = ConnectList->currentRow();
    const int column = ConnectList->currentColumn();
    if (row < 0 || row >= int(m_rows.size()) || column < 0)
        return;
    const QString value = column == 0 ? m_rows[size_t(row)].start : m_rows[size_t(row)].end;
    if (!value.isEmpty()) {
        SetCell(row, column, QString());
        SetDirty(true);
    }
    tbClear->setEnabled(false);
    ImagesList->viewport()->update();
}

void TfrmImages::tbClearAllClick()
{
    if (m_ui->AskYesNo(ClearLinksQuestion)) {
        for (int i = 0; i < int(m_rows.size()); ++i) {
            SetCell(i, 0, QString());
            SetCell(i, 1, QString());
        }
        SetDirty(true);
        tbClear->setEnabled(false);
    }
    ImagesList->viewport()->update();
}

void TfrmImages::tbSaveClick()
{
    const int failing = CheckImageLinks(m_rows);
    if (failing >= 0) {
        m_ui->ShowInfo(ImageOrderMessage);
        if (failing > 0)
            TreeViewLeft->selectAbsolute(failing);
        ConnectList->setCurrentCell(failing, 0);
        return;
    }
    QString error;
    if (!WriteLinkFile(ImageLinkFileName(myLIB.Jobs, m_tab), ImageLinkLines(m_rows), &error)) {
        m_ui->ShowInfo(error);
        return;
    }
    m_ui->ShowInfo(ImageLinksSavedMessage);
    SetDirty(false);
}

void TfrmImages::tbReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    if (!m_ui->AskYesNo(ClearLinksQuestion))
        return;
    LoadTab();
}

bool TfrmImages::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress && (watched == ConnectList || watched == ImagesList)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            tbConnectClick();
            return true;
        }
    }
    if (watched == ConnectList->viewport() && type == QEvent::Resize)
        FitColumns();
    if (watched == ScrollBox1->viewport() && type == QEvent::Resize && m_fit)
        LayOutImage();
    if (watched == Image1) {
        // Dragging the page moves it under the pointer.
        if (type == QEvent::MouseButtonPress) {
            auto* m = static_cast<QMouseEvent*>(event);
            if (m->button() == Qt::LeftButton) {
                imgMouseAction = QStringLiteral("SCROLL");
                Image1->setCursor(Qt::PointingHandCursor);
                const QPoint p = mapFromGlobal(m->globalPosition().toPoint());
                imgScrollXX = p.x();
                imgScrollYY = p.y();
                return true;
            }
        } else if (type == QEvent::MouseMove) {
            auto* m = static_cast<QMouseEvent*>(event);
            ScrollBox1->setFocus();
            const QPoint p = mapFromGlobal(m->globalPosition().toPoint());
            if (imgMouseAction == QLatin1String("SCROLL") && (p.x() != imgScrollXX || p.y() != imgScrollYY)) {
                QScrollBar* h = ScrollBox1->horizontalScrollBar();
                QScrollBar* v = ScrollBox1->verticalScrollBar();
                h->setValue(h->value() + imgScrollXX - p.x());
                v->setValue(v->value() + imgScrollYY - p.y());
                imgScrollXX = p.x();
                imgScrollYY = p.y();
            }
            return true;
        } else if (type == QEvent::MouseButtonRelease) {
            imgMouseAction.clear();
            Image1->unsetCursor();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

