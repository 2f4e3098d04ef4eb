#include "jobs/ui/frmJobs.h"

#include "shell/ui/GridPainters.h"
#include "controls/ui/EditPlus.h"
#include "jobs/ui/frmJobsGetMy.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmJobs"), WindowKind::Modal,
                           [](QWidget* parent) { return new TfrmJobs(parent); });

static const QString WorkFolderCaption =
    QStringLiteral("작업할 폴더를 선택하십시오.\r\n작업을 새로 시작하려면 작업용 파일이 준비되어 있어야 합니다.\r\n"
                   "자세한 내용은 작업자 지침서를 참조하십시오.");

static QLineEdit* ReadOnlyEdit(const char* name, QWidget* parent, bool centred = false)
{
    auto* e = new TEditPlus(parent);
    e->setObjectName(name);
    e->setP_ReadOnlyPLUS(true);
    if (centred)
        e->setAlignment(Qt::AlignCenter);
    return e;
}

TfrmJobs::TfrmJobs(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmJobs");
    setWindowTitle(QStringLiteral("작업 내용 설정"));
    resize(640, 600);

    m_ui = new WidgetInteraction(this);

    eJob_Name = ReadOnlyEdit("eJob_Name", this);
    btnJob_Name = new QPushButton(QStringLiteral("설정"), this);
    btnJob_Name->setObjectName("btnJob_Name");
    eJob_WorkFolder = ReadOnlyEdit("eJob_WorkFolder", this);
    btnJob_WorkFolder = new QPushButton(QStringLiteral("설정"), this);
    btnJob_WorkFolder->setObjectName("btnJob_WorkFolder");
    ePID = ReadOnlyEdit("ePID", this);
    ePCode = ReadOnlyEdit("ePCode", this);
    esImage = ReadOnlyEdit("esImage", this, true);
    eiImage = ReadOnlyEdit("eiImage", this, true);
    for (QPushButton* b : {btnJob_Name, btnJob_WorkFolder})
        b->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("제품 명칭:"), this), 0, 0);
    fields->addWidget(eJob_Name, 0, 1, 1, 5);
    fields->addWidget(btnJob_Name, 0, 6);
    fields->addWidget(new QLabel(QStringLiteral("작업 폴더:"), this), 1, 0);
    fields->addWidget(eJob_WorkFolder, 1, 1, 1, 5);
    fields->addWidget(btnJob_WorkFolder, 1, 6);
    fields->addWidget(new QLabel(QStringLiteral("제품 ID :"), this), 2, 0);
    fields->addWidget(ePID, 2, 1);
    fields->addWidget(ePCode, 2, 2);
    fields->addWidget(new QLabel(QStringLiteral("원문이미지:"), this), 2, 3, Qt::AlignRight);
    fields->addWidget(esImage, 2, 4);
    auto* iLabel = new QLabel(QStringLiteral("삽입이미지:"), this);
    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(iLabel);
    imageRow->addWidget(eiImage);
    fields->addLayout(imageRow, 2, 5, 1, 2);
    esImage->setMaximumWidth(48);
    eiImage->setMaximumWidth(48);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(2, 1);

    gridTabs = new QTableWidget(MaxTabs, 4, this);
    gridTabs->setObjectName("gridTabs");
    gridTabs->setHorizontalHeaderLabels(
        {QStringLiteral("탭 명칭"), QStringLiteral("소스폴더"), QStringLiteral("탭연결"), QStringLiteral("탭ID")});
    gridTabs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridTabs->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridTabs->setSelectionMode(QAbstractItemView::SingleSelection);
    DrawGridCell(gridTabs);
    gridTabs->verticalHeader()->setDefaultSectionSize(gridTabs->fontMetrics().height() + 6);
    gridTabs->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    gridTabs->setColumnWidth(0, 140);
    gridTabs->setColumnWidth(2, 110);
    gridTabs->setColumnWidth(3, 70);
    // Exactly the twenty tab rows, no empty band below them.
    gridTabs->setFixedHeight(gridTabs->horizontalHeader()->sizeHint().height()
                             + MaxTabs * gridTabs->verticalHeader()->defaultSectionSize()
                             + 2 * gridTabs->frameWidth());
    gridTabs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* tabsHead = new QHBoxLayout;
    tabsHead->addWidget(new QLabel(QStringLiteral("탭 정보:"), this));
    tabsHead->addStretch(1);
    auto* hint = new QLabel(QStringLiteral("원본을 연결하려면 셀을 더블클릭합니다."), this);
    hint->setStyleSheet("color: #555;");
    tabsHead->addWidget(hint);

    btnSave = new QPushButton(QStringLiteral("OK"), this);
    btnSave->setObjectName("btnSave");
    btnSave->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addLayout(tabsHead);
    layout->addWidget(gridTabs);
    layout->addLayout(buttons);

    connect(btnJob_Name, &QPushButton::clicked, this, [this] { btnJob_NameClick(); });
    connect(btnJob_WorkFolder, &QPushButton::clicked, this, [this] { btnJob_WorkFolderClick(); });
    connect(gridTabs, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { gridTabsDblClick(row); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    ShowForm();
}

void TfrmJobs::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    is_new_job = myLIB.Jobs.WorkFolder.isEmpty();
    m_form = JobFormFromJob(myLIB.Jobs);
    ShowForm();
    btnJob_Name->setEnabled(is_new_job);
    btnJob_WorkFolder->setEnabled(!is_new_job);
    (is_new_job ? btnJob_Name : btnJob_WorkFolder)->setFocus();
}

void TfrmJobs::ShowForm()
{
    eJob_Name->setText(m_form.pNAME);
    eJob_WorkFolder->setText(m_form.workFolder);
    ePID->setText(m_form.pID);
    ePCode->setText(m_form.pCode);
    esImage->setText(m_form.srcImage);
    eiImage->setText(m_form.insImage);
    for (int r = 0; r < MaxTabs; ++r) {
        const TJobTabRow& row = m_form.rows[r];
        const QString cells[4] = {row.name, row.folder, row.link, row.id};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem* item = gridTabs->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                gridTabs->setItem(r, c, item);
            }
            item->setText(cells[c]);
            item->setToolTip(cells[c]);
        }
    }
}

void TfrmJobs::btnJob_NameClick()
{
    TfrmJobsGetMy list(this);
    if (m_post)
        list.setFormPost(m_post);
    if (list.exec() != QDialog::Accepted)
        return;
    const ProductRow product = list.selectedProduct();
    if (product.isEmpty())
        return;
    if (const QString problem = ApplyProduct(m_form, product); !problem.isEmpty()) {
        m_ui->ShowInfo(problem);
        return;
    }
    ShowForm();
    btnJob_WorkFolder->setEnabled(true);
}

QString TfrmJobs::ChooseFolder(const QString& caption, const QString& startFolder)
{
    if (m_chooseFolder)
        return m_chooseFolder(caption, startFolder);
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(startFolder);
    QString title = caption;
    dialog.setWindowTitle(title.section("\r\n", 0, 0));
    // The whole guidance text above the folder view; the title bar holds one line only.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* text = new QLabel(title.replace("\r\n", "\n"), &dialog);
        text->setWordWrap(true);
        grid->addWidget(text, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void TfrmJobs::btnJob_WorkFolderClick()
{
    const QString start = m_form.workFolder.isEmpty() ? DataFolder() : m_form.workFolder;
    const QString chosen = ChooseFolder(WorkFolderCaption, start);
    if (!chosen.isEmpty()) {
        ApplyJobFolder(m_form, chosen, *m_ui);
        ShowForm();
    }
    btnJob_Name->setEnabled(!m_form.workFolder.isEmpty());
}

void TfrmJobs::gridTabsDblClick(int row)
{
    if (row < 0 || row >= MaxTabs || m_form.rows[row].name.isEmpty())
        return;
    if (m_form.workFolder.isEmpty()) {
        m_ui->ShowInfo(SetWorkFolderFirstMessage);
        return;
    }
    const QString caption = QStringLiteral("탭(") + m_form.rows[row].name
        + QStringLiteral(")의 텍스트가 들어 있는 폴더를 선택하십시오.");
    const QString chosen = ChooseFolder(caption, m_form.workFolder);
    if (chosen.isEmpty())
        return;
    QString problem;
    const QString relative = RelativeSourceFolder(m_form.workFolder, chosen, &problem);
    if (relative.isEmpty()) {
        m_ui->ShowInfo(problem);
        return;
    }
    m_form.rows[row].folder = relative;
    ShowForm();
}

void TfrmJobs::btnSaveClick()
{
    if (SaveJobForm(m_form, myLIB.Jobs, *m_ui))
        accept();
}
