#include "tagging/ui/fImagePanel.h"

#include "controls/ui/EditPlus.h"
#include "controls/ui/RequireInput.h"
#include "shell/ui/WidgetInteraction.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"
#include "tagging/ui/frmViewImageDialog.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int kButtonWidth = 128;

QToolButton* ToolButton(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    return b;
}

QPushButton* PushButton(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLineEdit* ReadOnlyField(const char* name, QWidget* parent, int width = 0)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    if (width > 0) {
        e->setFixedWidth(width);
        e->setAlignment(Qt::AlignRight);
    }
    return e;
}

QFrame* Bar(const char* name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::StyledPanel);
    f->setVisible(false);
    return f;
}

} // namespace

TfImagePanel::TfImagePanel(ImagePanelHost& host, const QString& jobFolder, QWidget* parent)
    : QWidget(parent)
    , m_host(host)
    , m_root(ImageRoot(jobFolder))
    , m_folder(m_root)
{
    setObjectName(QStringLiteral("fImagePanel"));

    auto* heading = new QLabel(QStringLiteral("삽화이미지"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* folderRow = new QHBoxLayout;
    ImgFolderName = new QLabel(QStringLiteral("Folder"), this);
    ImgFolderName->setObjectName(QStringLiteral("ImgFolderName"));
    ImgFolderName->setFrameShape(QFrame::StyledPanel);
    ImgFolderName->setFrameShadow(QFrame::Sunken);
    ImgFolderName->setMinimumWidth(40);
    ImgFolderName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    BtnChangeImgFolder = ToolButton("BtnChangeImgFolder", QStringLiteral("..."), this);
    BtnChangeImgFolder->setAutoRaise(false);
    BtnChangeImgFolder->setToolTip(QStringLiteral("이미지 폴더 변경"));
    btnRefreshImg = ToolButton("btnRefreshImg", QStringLiteral("새로고침"), this);
    btnRefreshImg->setAutoRaise(false);
    folderRow->addWidget(ImgFolderName, 1);
    folderRow->addWidget(BtnChangeImgFolder);
    folderRow->addWidget(btnRefreshImg);

    ImageButtonGroup = new QScrollArea(this);
    ImageButtonGroup->setObjectName(QStringLiteral("ImageButtonGroup"));
    ImageButtonGroup->setWidgetResizable(true);
    m_buttonsHost = new QWidget;
    m_buttonsGrid = new QGridLayout(m_buttonsHost);
    m_buttonsGrid->setContentsMargins(2, 2, 2, 2);
    m_buttonsGrid->setSpacing(2);
    m_buttonsGrid->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    ImageButtonGroup->setWidget(m_buttonsHost);
    m_buttons = new QButtonGroup(this);
    m_buttons->setExclusive(true);

    PanelImgControl = new QWidget(this);
    PanelImgControl->setObjectName(QStringLiteral("PanelImgControl"));
    auto* control = new QVBoxLayout(PanelImgControl);
    control->setContentsMargins(0, 0, 0, 0);
    control->setSpacing(2);

    PanelImgInfo = new QWidget(PanelImgControl);
    PanelImgInfo->setObjectName(QStringLiteral("PanelImgInfo"));
    auto* info = new QHBoxLayout(PanelImgInfo);
    info->setContentsMargins(0, 0, 0, 0);
    eImageFname = ReadOnlyField("eImageFname", PanelImgInfo);
    eImgW = ReadOnlyField("eImgW", PanelImgInfo, 56);
    eImgH = ReadOnlyField("eImgH", PanelImgInfo, 56);
    info->addWidget(eImageFname, 1);
    info->addWidget(new QLabel(QStringLiteral("가로(W):"), PanelImgInfo));
    info->addWidget(eImgW);
    info->addWidget(new QLabel(QStringLiteral("세로(H):"), PanelImgInfo));
    info->addWidget(eImgH);

    ToolBarImg = new QWidget(PanelImgControl);
    ToolBarImg->setObjectName(QStringLiteral("ToolBarImg"));
    auto* tools = new QHBoxLayout(ToolBarImg);
    tools->setContentsMargins(0, 0, 0, 0);
    tbResize = ToolButton("tbResize", QStringLiteral("크기줄임"), ToolBarImg);
    tbResize->setToolTip(QStringLiteral("크기 변경 보이기/감추기"));
    tbRename = ToolButton("tbRename", QStringLiteral("이름변경"), ToolBarImg);
    tbDelete = ToolButton("tbDelete", QStringLiteral("파일삭제"), ToolBarImg);
    tbImgWindow = ToolButton("tbImgWindow", QStringLiteral("새창으로"), ToolBarImg);
    btnImgInsert = PushButton("btnImgInsert", QStringLiteral("본문에 넣기"), ToolBarImg);
    for (QWidget* w : {static_cast<QWidget*>(tbResize), static_cast<QWidget*>(tbRename),
                       static_cast<QWidget*>(tbDelete), static_cast<QWidget*>(tbImgWindow)})
        tools->addWidget(w);
    tools->addStretch(1);
    tools->addWidget(btnImgInsert);

    PanelResize = Bar("PanelResize", PanelImgControl);
    auto* resize = new QHBoxLayout(PanelResize);
    resize->setContentsMargins(6, 3, 6, 3);
    eResizeWidth = new TEditPlus(PanelResize);
    eResizeWidth->setObjectName(QStringLiteral("eResizeWidth"));
    eResizeWidth->setP_NumberOnly(true);
    eResizeWidth->setFixedWidth(70);
    btnChangeSize = PushButton("btnChangeSize", QStringLiteral("변경"), PanelResize);
    btnOrg = PushButton("btnOrg", QStringLiteral("복원"), PanelResize);
    btnOrg->setToolTip(QStringLiteral("처음 줄이기 전의 원본 크기로 되돌립니다."));
    btnHideResize = PushButton("btnHideResize", QStringLiteral("닫기"), PanelResize);
    resize->addWidget(new QLabel(QStringLiteral("크기 줄임"), PanelResize));
    resize->addWidget(new QLabel(QStringLiteral("가로(W):"), PanelResize));
    resize->addWidget(eResizeWidth);
    resize->addWidget(btnChangeSize);
    resize->addWidget(btnOrg);
    resize->addStretch(1);
    resize->addWidget(btnHideResize);

    PanelRename = Bar("PanelRename", PanelImgControl);
    auto* rename = new QHBoxLayout(PanelRename);
    rename->setContentsMargins(6, 3, 6, 3);
    eRename = new TEditPlus(PanelRename);
    eRename->setObjectName(QStringLiteral("eRename"));
    jpgEXT = new QLabel(QStringLiteral(".jpg"), PanelRename);
    jpgEXT->setObjectName(QStringLiteral("jpgEXT"));
    btnRename = PushButton("btnRename", QStringLiteral("변경"), PanelRename);
    btnHideRename = PushButton("btnHideRename", QStringLiteral("닫기"), PanelRename);
    rename->addWidget(new QLabel(QStringLiteral("이름 변경"), PanelRename));
    rename->addWidget(eRename, 1);
    rename->addWidget(jpgEXT);
    rename->addWidget(btnRename);
    rename->addWidget(btnHideRename);

    control->addWidget(PanelImgInfo);
    control->addWidget(ToolBarImg);
    control->addWidget(PanelResize);
    control->addWidget(PanelRename);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pictureHolder = new QWidget;
    Image1 = new QLabel(m_pictureHolder);
    Image1->setObjectName(QStringLiteral("Image1"));
    ScrollBox1->setWidget(m_pictureHolder);
    m_drag = new TImageDragScroll(ScrollBox1, Image1);

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(2);
    lowerLayout->addWidget(PanelImgControl);
    lowerLayout->addWidget(ScrollBox1, 1);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(ImageButtonGroup);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(heading);
    layout->addLayout(folderRow);
    layout->addWidget(splitter, 1);

    // The folder chooser floats over the list while it is open.
    PanelChangeImage = new QFrame(this);
    PanelChangeImage->setObjectName(QStringLiteral("PanelChangeImage"));
    PanelChangeImage->setFrameShape(QFrame::Panel);
    PanelChangeImage->setFrameShadow(QFrame::Raised);
    PanelChangeImage->setAutoFillBackground(true);
    auto* chooser = new QVBoxLayout(PanelChangeImage);
    auto* chooserTitle = new QLabel(QStringLiteral("이미지 폴더 변경"), PanelChangeImage);
    chooserTitle->setFont(bold);
    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirModel->setRootPath(jobFolder);
    ImgDirectoryListBox = new QTreeView(PanelChangeImage);
    ImgDirectoryListBox->setObjectName(QStringLiteral("ImgDirectoryListBox"));
    ImgDirectoryListBox->setModel(m_dirModel);
    ImgDirectoryListBox->setRootIndex(m_dirModel->index(jobFolder));
    for (int c = 1; c < m_dirModel->columnCount(); ++c)
        ImgDirectoryListBox->hideColumn(c);
    ImgDirectoryListBox->setHeaderHidden(true);
    ChangeImgFolderName = new QLabel(PanelChangeImage);
    ChangeImgFolderName->setObjectName(QStringLiteral("ChangeImgFolderName"));
    ChangeImgFolderName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnChangeImage_ok = PushButton("btnChangeImage_ok", QStringLiteral("OK"), PanelChangeImage);
    btnChangeImage_cancel = PushButton("btnChangeImage_cancel", QStringLiteral("Cancel"), PanelChangeImage);
    auto* chooserButtons = new QHBoxLayout;
    chooserButtons->addStretch(1);
    chooserButtons->addWidget(btnChangeImage_ok);
    chooserButtons->addWidget(btnChangeImage_cancel);
    chooser->addWidget(chooserTitle);
    chooser->addWidget(ImgDirectoryListBox, 1);
    chooser->addWidget(ChangeImgFolderName);
    chooser->addLayout(chooserButtons);
    PanelChangeImage->hide();

    ImgFolderName->setText(m_root);
    ImgFolderName->setToolTip(m_root);
    SetToolsEnabled(false);
    btnOrg->setEnabled(false);

    connect(btnRefreshImg, &QToolButton::clicked, this, &TfImagePanel::FillImageList);
    connect(BtnChangeImgFolder, &QToolButton::clicked, this, &TfImagePanel::BtnChangeImgFolderClick);
    connect(ImgDirectoryListBox->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ImgDirectoryListBoxChange(m_dirModel->filePath(current)); });
    connect(btnChangeImage_ok, &QPushButton::clicked, this, &TfImagePanel::btnChangeImageOkClick);
    connect(btnChangeImage_cancel, &QPushButton::clicked, PanelChangeImage, &QWidget::hide);
    connect(m_buttons, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton* b) { ChooseImage(b->property("fileName").toString()); });
    connect(btnImgInsert, &QPushButton::clicked, this, &TfImagePanel::btnImgInsertClick);
    connect(tbResize, &QToolButton::clicked, this, &TfImagePanel::tbResizeClick);
    connect(btnHideResize, &QPushButton::clicked, PanelResize, &QWidget::hide);
    connect(btnChangeSize, &QPushButton::clicked, this, &TfImagePanel::btnChangeSizeClick);
    connect(btnOrg, &QPushButton::clicked, this, &TfImagePanel::btnOrgClick);
    connect(tbRename, &QToolButton::clicked, this, &TfImagePanel::tbRenameClick);
    connect(btnHideRename, &QPushButton::clicked, PanelRename, &QWidget::hide);
    connect(btnRename, &QPushButton::clicked, this, &TfImagePanel::btnRenameClick);
    connect(tbDelete, &QToolButton::clicked, this, &TfImagePanel::tbDeleteClick);
    connect(tbImgWindow, &QToolButton::clicked, this, &TfImagePanel::tbImgWindowClick);
}

QString TfImagePanel::ImagePath() const
{
    return m_folder + QLatin1Char('/') + eImageFname->text();
}

QStringList TfImagePanel::ImageNames() const
{
    QStringList names;
    for (QAbstractButton* b : m_buttons->buttons())
        names << b->property("fileName").toString();
    return names;
}

void TfImagePanel::FillImageList()
{
    for (QAbstractButton* b : m_buttons->buttons()) {
        m_buttons->removeButton(b);
        delete b;
    }
    for (const QString& name : ListJpegFiles(m_folder)) {
        auto* b = new QPushButton(m_buttonsHost);
        b->setText(b->fontMetrics().elidedText(name, Qt::ElideMiddle, kButtonWidth - 12));
        b->setProperty("fileName", name);
        b->setToolTip(name);
        b->setCheckable(true);
        b->setFixedWidth(kButtonWidth);
        m_buttons->addButton(b);
        b->show(); // at once, not when the layout gets round to it
    }
    m_columns = 0;
    LayoutButtons();
}

void TfImagePanel::LayoutButtons()
{
    const int columns = qMax(1, (ImageButtonGroup->viewport()->width() - 4) / (kButtonWidth + 2));
    if (columns == m_columns)
        return;
    m_columns = columns;
    const QList<QAbstractButton*> buttons = m_buttons->buttons();
    for (QAbstractButton* b : buttons)
        m_buttonsGrid->removeWidget(b);
    for (int i = 0; i < buttons.size(); ++i)
        m_buttonsGrid->addWidget(buttons[i], i / columns, i % columns);
    m_buttonsGrid->activate();
}

void TfImagePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutButtons();
    if (PanelChangeImage->isVisible())
        PanelChangeImage->setGeometry(4, 4, width() - 8, qMin(height() - 8, 360));
}

void TfImagePanel::CloseBars()
{
    PanelResize->hide();
    PanelRename->hide();
}

void TfImagePanel::SetToolsEnabled(bool on)
{
    for (QWidget* w : {static_cast<QWidget*>(tbResize), static_cast<QWidget*>(tbRename),
                       static_cast<QWidget*>(tbDelete), static_cast<QWidget*>(tbImgWindow),
                       static_cast<QWidget*>(btnImgInsert)})
        w->setEnabled(on);
}

void TfImagePanel::ClearPicture()
{
    m_picture = QImage();
    Image1->clear();
    Image1->resize(0, 0);
    m_pictureHolder->resize(0, 0);
}

void TfImagePanel::ChooseImage(const QString& fileName)
{
    eImageFname->setText(fileName);
    CloseBars();
    ShowImage();
}

void TfImagePanel::ShowImage()
{
    SetToolsEnabled(false);
    if (eImageFname->text().isEmpty())
        return;
    QString why;
    m_picture = LoadJpegImage(ImagePath(), &why);
    Image1->setPixmap(QPixmap::fromImage(m_picture));
    if (m_picture.isNull()) {
        Image1->clear();
        ShowInfoBox(this, QStringLiteral("Error : ") + why);
    }
    eImgW->setText(QString::number(m_picture.width()));
    eImgH->setText(QString::number(m_picture.height()));
    Image1->move(0, 0);
    if (m_picture.width() != 0 && m_picture.height() != 0)
        Image1->resize(m_picture.size());
    else
        Image1->resize(0, 0);
    m_pictureHolder->resize(Image1->size());
    btnOrg->setEnabled(QFileInfo::exists(FullSizeBackupPath(ImagePath())));
    SetToolsEnabled(true);
}

void TfImagePanel::btnImgInsertClick()
{
    if (eImageFname->text().isEmpty() || eImgW->text().isEmpty() || eImgH->text().isEmpty())
        return;
    if (!m_host.TextPageActive()) {
        ShowInfoBox(this, QStringLiteral("본문텍스트를 보이게 하고 삽입할 위치를 마우스로 클릭하세요."));
        return;
    }
    m_host.SwitchToEditing();
    m_host.InsertAtCaret(InsertedImageTag(m_root, m_folder, eImageFname->text(), eImgW->text(), eImgH->text()));
}

void TfImagePanel::BtnChangeImgFolderClick()
{
    m_revertingFolder = true;
    const QModelIndex current = m_dirModel->index(m_folder);
    ImgDirectoryListBox->setCurrentIndex(current);
    ImgDirectoryListBox->scrollTo(current);
    m_revertingFolder = false;
    ChangeImgFolderName->setText(m_folder);
    ChangeImgFolderName->setToolTip(m_folder);
    PanelChangeImage->setGeometry(4, 4, width() - 8, qMin(height() - 8, 360));
    PanelChangeImage->show();
    PanelChangeImage->raise();
    ImgDirectoryListBox->setFocus();
}

void TfImagePanel::ImgDirectoryListBoxChange(const QString& folder)
{
    if (m_revertingFolder || folder.isEmpty())
        return;
    if (!IsInsideImageRoot(m_root, folder)) {
        ShowInfoBox(this, FolderRuleMessage(m_root));
        m_revertingFolder = true;
        ImgDirectoryListBox->setCurrentIndex(m_dirModel->index(ChangeImgFolderName->text()));
        m_revertingFolder = false;
        return;
    }
    ChangeImgFolderName->setText(folder);
    ChangeImgFolderName->setToolTip(folder);
}

void TfImagePanel::btnChangeImageOkClick()
{
    const QString folder = ChangeImgFolderName->text();
    if (IsInsideImageRoot(m_root, folder))
        m_folder = QDir::cleanPath(folder);
    ImgFolderName->setText(m_folder);
    ImgFolderName->setToolTip(m_folder);
    PanelChangeImage->hide();
    FillImageList();
}

void TfImagePanel::tbResizeClick()
{
    PanelResize->setVisible(!PanelResize->isVisible());
    PanelRename->hide();
    eResizeWidth->setText(eImgW->text());
}

void TfImagePanel::btnChangeSizeClick()
{
    if (eImgW->text().isEmpty() || eImgW->text() == QLatin1String("0"))
        return;
    if (RequireInput(eResizeWidth, QStringLiteral("변경할 크기")))
        return;
    const int current = eImgW->text().toInt();
    const int requested = eResizeWidth->text().toInt();
    if (const QString problem = ShrinkWidthProblem(current, requested); !problem.isEmpty()) {
        ShowInfoBox(this, problem);
        return;
    }
    const TShrinkResult r = ShrinkJpegFile(ImagePath(), requested);
    if (r.status == TShrinkStatus::WriteFailed)
        ShowInfoBox(this, QStringLiteral("Error : ") + r.message);
    ShowImage();
    CloseBars();
}

void TfImagePanel::btnOrgClick()
{
    if (!QFileInfo::exists(FullSizeBackupPath(ImagePath())))
        return;
    const TImageFileResult r = RestoreFullSize(ImagePath());
    if (!r.ok)
        ShowInfoBox(this, QStringLiteral("Error : ") + r.message);
    ShowImage();
}

void TfImagePanel::tbRenameClick()
{
    PanelRename->setVisible(!PanelRename->isVisible());
    PanelResize->hide();
    const QString name = eImageFname->text();
    eRename->setText(name.left(qMax(0, name.size() - 4)));
    jpgEXT->setText(name.right(4));
}

void TfImagePanel::btnRenameClick()
{
    if (RequireInput(eRename, QStringLiteral("변경할 이름")))
        return;
    const QString newName = eRename->text() + jpgEXT->text();
    const TImageFileResult r = RenameImage(m_folder, eImageFname->text(), newName);
    if (!r.ok) {
        // Nothing moved: the bar stays open for another name.
        ShowInfoBox(this, r.message);
        return;
    }
    FillImageList();
    eImageFname->setText(newName);
    ShowImage();
    PanelRename->hide();
    for (QAbstractButton* b : m_buttons->buttons())
        if (b->property("fileName").toString() == newName)
            b->setChecked(true);
    if (!r.message.isEmpty())
        ShowInfoBox(this, r.message);
}

void TfImagePanel::tbDeleteClick()
{
    CloseBars();
    const QString name = eImageFname->text();
    if (!AskYesNoBox(this, name + QStringLiteral(" : 정말 삭제합니까?")))
        return;
    DeleteImage(ImagePath()); // a failure shows in the list, which lists what is on disk
    FillImageList();
    eImageFname->clear();
    eImgW->clear();
    eImgH->clear();
    SetToolsEnabled(false);
    btnOrg->setEnabled(false);
    ClearPicture();
}

void TfImagePanel::tbImgWindowClick()
{
    TfrmViewImageDialog viewer(this);
    viewer.lFileName->setText(ImagePath());
    viewer.exec();
}
