#include "tools/ui/frmFileMerge.h"

#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"
#include "tools/FileMerge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmFileMerge"), WindowKind::Modal,
                           [](QWidget* p) { return new TfrmFileMerge(p); });

namespace {

const QString FormName = QStringLiteral("frmFileMerge");
const QString StartCaption = QStringLiteral("시작");
const QString StartAgainCaption = QStringLiteral("다시 시작");

QLabel* FieldLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setMinimumWidth(110);
    return l;
}

} // namespace

TfrmFileMerge::TfrmFileMerge(QWidget* parent)
    : TWorkerDialog(parent)
{
    setObjectName(FormName);
    setWindowTitle(QStringLiteral("텍스트 파일 합치기"));
    setModal(true);
    resize(780, 600);

    PanelTop = new QWidget(this);
    PanelTop->setObjectName(QStringLiteral("PanelTop"));
    auto* top = new QGridLayout(PanelTop);
    top->setContentsMargins(0, 0, 0, 0);
    Panel3 = new QLabel(QStringLiteral("대상 TEXT 파일이 있는 폴더를 선택하세요"), PanelTop);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setAlignment(Qt::AlignCenter);
    Panel3->setFrameShape(QFrame::StyledPanel);
    Panel3->setMinimumHeight(32);
    QFont bold = Panel3->font();
    bold.setBold(true);
    Panel3->setFont(bold);
    FolderName = new QLineEdit(PanelTop);
    FolderName->setObjectName(QStringLiteral("FolderName"));
    FolderName->setReadOnly(true);
    top->addWidget(Panel3, 0, 0, 1, 2);
    top->addWidget(FieldLabel(QStringLiteral("원본 폴더 위치 :"), PanelTop), 1, 0);
    top->addWidget(FolderName, 1, 1);

    PanelSaveFile = new QWidget(this);
    PanelSaveFile->setObjectName(QStringLiteral("PanelSaveFile"));
    auto* save = new QGridLayout(PanelSaveFile);
    save->setContentsMargins(0, 0, 0, 0);
    eSavePath = new QLineEdit(PanelSaveFile);
    eSavePath->setObjectName(QStringLiteral("eSavePath"));
    eSavePath->setReadOnly(true);
    eSaveFilename = new QLineEdit(PanelSaveFile);
    eSaveFilename->setObjectName(QStringLiteral("eSaveFilename"));
    Button1 = new QPushButton(QStringLiteral("저장위치"), PanelSaveFile);
    Button1->setObjectName(QStringLiteral("Button1"));
    ChkSameFilename = new QCheckBox(QStringLiteral("원본폴더와 같게"), PanelSaveFile);
    ChkSameFilename->setObjectName(QStringLiteral("ChkSameFilename"));
    ChkSameFilename->setChecked(true);
    save->addWidget(FieldLabel(QStringLiteral("저장 폴더 위치 :"), PanelSaveFile), 0, 0);
    save->addWidget(eSavePath, 0, 1);
    save->addWidget(Button1, 0, 2);
    save->addWidget(FieldLabel(QStringLiteral("저장할 파일명 :"), PanelSaveFile), 1, 0);
    save->addWidget(eSaveFilename, 1, 1);
    save->addWidget(ChkSameFilename, 1, 2);

    PanelDir = new QWidget(this);
    PanelDir->setObjectName(QStringLiteral("PanelDir"));
    DriveComboBox1 = new QComboBox(PanelDir);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    // Linux has no drive letters: the file system root and the home folder stand in for them.
    DriveComboBox1->addItem(QStringLiteral("/"), QStringLiteral("/"));
    if (QDir::homePath() != QStringLiteral("/"))
        DriveComboBox1->addItem(QDir::homePath(), QDir::homePath());
    m_dirs = new QFileSystemModel(this);
    m_dirs->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirs->setRootPath(QStringLiteral("/"));
    DirectoryListBox1 = new QTreeView(PanelDir);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(m_dirs);
    for (int c = 1; c < m_dirs->columnCount(); ++c)
        DirectoryListBox1->hideColumn(c);
    DirectoryListBox1->header()->hide();
    eMsg = new QPlainTextEdit(PanelDir);
    eMsg->setObjectName(QStringLiteral("eMsg"));
    eMsg->setReadOnly(true);
    eMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    eMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    eMsg->hide();
    FileListBox1 = new QListWidget(PanelDir);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setFixedWidth(220);
    FileListBox1->setSelectionMode(QAbstractItemView::NoSelection);
    auto* dirCol = new QVBoxLayout;
    dirCol->addWidget(DriveComboBox1);
    dirCol->addWidget(DirectoryListBox1, 1);
    dirCol->addWidget(eMsg, 1);
    auto* dir = new QHBoxLayout(PanelDir);
    dir->setContentsMargins(0, 0, 0, 0);
    dir->addLayout(dirCol, 1);
    dir->addWidget(FileListBox1);

    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    auto* bottom = new QHBoxLayout(PanelBottom);
    bottom->setContentsMargins(0, 4, 0, 0);
    LabelFileCount = new QLabel(PanelBottom);
    LabelFileCount->setObjectName(QStringLiteral("LabelFileCount"));
    LabelFileCount->setMinimumWidth(220);
    btnSelectDirOK = new QPushButton(StartCaption, PanelBottom);
    btnSelectDirOK->setObjectName(QStringLiteral("btnSelectDirOK"));
    btnSelectDirOK->setFixedSize(100, 30);
    btnSelectDirOK->setDefault(true);
    btnSelectDirCancel = new QPushButton(QStringLiteral("닫기"), PanelBottom);
    btnSelectDirCancel->setObjectName(QStringLiteral("btnSelectDirCancel"));
    btnSelectDirCancel->setFixedSize(100, 30);
    bottom->addWidget(LabelFileCount);
    bottom->addStretch(1);
    bottom->addWidget(btnSelectDirOK);
    bottom->addSpacing(30);
    bottom->addWidget(btnSelectDirCancel);
    bottom->addStretch(1);
    bottom->addSpacing(220);

    auto* main = new QVBoxLayout(this);
    main->addWidget(PanelTop);
    main->addWidget(PanelSaveFile);
    main->addWidget(PanelDir, 1);
    main->addWidget(PanelBottom);

    m_ui = new WidgetInteraction(this);
    m_ui->setMessagePane(eMsg);

    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                m_folder = m_dirs->filePath(current);
                DirectoryChange();
            });
    // The model reads folders in the background: keep the chosen folder in view as they arrive,
    // until the operator takes the tree in hand.
    connect(m_dirs, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (m_scrollPending && (m_folder == path || m_folder.startsWith(path.endsWith('/') ? path : path + '/')))
            DirectoryListBox1->scrollTo(DirectoryListBox1->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
    connect(DirectoryListBox1, &QTreeView::pressed, this, [this] { m_scrollPending = false; });
    connect(DriveComboBox1, &QComboBox::activated, this, &TfrmFileMerge::DriveChange);
    connect(ChkSameFilename, &QCheckBox::clicked, this, &TfrmFileMerge::DirectoryChange);
    connect(Button1, &QPushButton::clicked, this, &TfrmFileMerge::Button1Click);
    connect(btnSelectDirOK, &QPushButton::clicked, this, &TfrmFileMerge::btnSelectDirOKClick);
    connect(btnSelectDirCancel, &QPushButton::clicked, this, &TfrmFileMerge::reject);
}

TfrmFileMerge::~TfrmFileMerge()
{
    StopAndWaitWorker();
}

void TfrmFileMerge::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmFileMerge::FormShow()
{
    eMsg->hide();
    DirectoryListBox1->show();
    // The home folder stands in for the program's folder: the operator's texts are not there.
    const QString job = myLIB.Jobs.WorkFolder;
    SelectFolder(!job.isEmpty() && QFileInfo(job).isDir() ? job : QDir::homePath());
    DirectoryListBox1->setFocus();
    const QString saved = ReadFormSetting(FormName, QStringLiteral("SaveTo"));
    if (!saved.isEmpty())
        eSaveFilename->setText(saved);
}

void TfrmFileMerge::SelectFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // The drive is the deepest root that holds the folder.
    int drive = 0;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        const QString root = DriveComboBox1->itemData(i).toString();
        if (path == root || path.startsWith(root.endsWith('/') ? root : root + '/'))
            drive = i;
    }
    DriveComboBox1->setCurrentIndex(drive);
    DirectoryListBox1->setRootIndex(m_dirs->index(DriveComboBox1->itemData(drive).toString()));
    const QModelIndex index = m_dirs->index(path);
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        DirectoryListBox1->expand(p);
    DirectoryListBox1->expand(index);
    m_folder = path;
    if (DirectoryListBox1->currentIndex() == index)
        DirectoryChange();
    else
        DirectoryListBox1->setCurrentIndex(index);
    DirectoryListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_scrollPending = true;
}

void TfrmFileMerge::DriveChange()
{
    SelectFolder(DriveComboBox1->currentData().toString());
}

void TfrmFileMerge::DirectoryChange()
{
    FolderName->setText(m_folder);
    FolderName->setToolTip(m_folder);
    const QStringList files = ListMergeFiles(m_folder);
    FileListBox1->clear();
    FileListBox1->addItems(files);
    LabelFileCount->setText(QString::number(files.size()) + QStringLiteral("개"));
    if (isSameFolder)
        eSavePath->setText(MergeDefaultSaveFolder(m_folder));
    if (ChkSameFilename->isChecked())
        eSaveFilename->setText(MergeDefaultFileName(m_folder));
}

void TfrmFileMerge::Button1Click()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("저장할 폴더를 선택하십시오."), eSavePath->text());
    if (folder.isEmpty())
        return;
    eSavePath->setText(QDir::cleanPath(folder));
    isSameFolder = false;
}

void TfrmFileMerge::btnSelectDirOKClick()
{
    if (m_worker)
        return;
    if (btnSelectDirOK->text() == StartAgainCaption) {
        eMsg->hide();
        DriveComboBox1->show();
        DirectoryListBox1->show();
        btnSelectDirOK->setText(StartCaption);
        eSaveFilename->setReadOnly(false);
        Button1->setEnabled(true);
        ChkSameFilename->setEnabled(true);
        // The folder may have changed while the log was shown.
        const QStringList files = ListMergeFiles(m_folder);
        FileListBox1->clear();
        FileListBox1->addItems(files);
        LabelFileCount->setText(QString::number(files.size()) + QStringLiteral("개"));
        return;
    }

    QStringList files;
    for (int i = 0; i < FileListBox1->count(); ++i)
        files << FileListBox1->item(i)->text();
    QString output;
    if (!PrepareMerge(m_folder, files, eSavePath->text(), eSaveFilename->text(), *m_ui, &output))
        return;
    const QString name = QFileInfo(output).fileName();
    eSaveFilename->setText(name);

    DriveComboBox1->hide();
    DirectoryListBox1->hide();
    PanelBottom->hide();
    eSaveFilename->setReadOnly(true);
    Button1->setEnabled(false);
    ChkSameFilename->setEnabled(false);
    eMsg->clear();
    eMsg->show();
    WriteFormSetting(FormName, QStringLiteral("SaveTo"), name);

    m_ui->ClearStop();
    const QString folder = m_folder;
    WidgetInteraction* ui = m_ui;
    m_worker = QThread::create([folder, files, output, ui] { MergeTextFiles(folder, files, output, *ui); });
    connect(m_worker, &QThread::finished, this, [this] {
        m_worker->deleteLater();
        m_worker = nullptr;
        btnSelectDirOK->setText(StartAgainCaption);
        PanelBottom->show();
    });
    m_worker->start();
}



