#include "tagging/ui/ReplaceDialog.h"

#include "shell/ui/GridPainters.h"
#include "shell/ui/WidgetInteraction.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

// Characters of the line shown on either side of a match.
constexpr int ExcerptContext = 30;
// The span of the excerpt to mark, as (start, length).
constexpr int MarkRole = Qt::UserRole + 1;

enum Column { ColArticle, ColLine, ColBefore, ColAfter };

// The piece of `line` around [start, start + length), with the piece's own mark position.
QString Excerpt(const QString& line, qsizetype start, qsizetype length, QPoint* mark)
{
    const qsizetype from = qMax<qsizetype>(0, start - ExcerptContext);
    const qsizetype to = qMin(line.size(), start + length + ExcerptContext);
    const QString head = from > 0 ? QStringLiteral("…") : QString();
    *mark = QPoint(int(head.size() + start - from), int(length));
    return head + line.mid(from, to - from) + (to < line.size() ? QStringLiteral("…") : QString());
}

// Paints an excerpt with its match on a yellow ground.
class TMarkDelegate : public TOwnTextPainter {
public:
    using TOwnTextPainter::TOwnTextPainter;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.data(MarkRole).isValid())
            TOwnTextPainter::paint(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }

protected:
    void paintText(QPainter* painter, const QStyleOptionViewItem& opt, const QString& text,
                   const QModelIndex& index) const override
    {
        const QPoint mark = index.data(MarkRole).toPoint();
        const QString parts[3] = {text.left(mark.x()), text.mid(mark.x(), mark.y()), text.mid(mark.x() + mark.y())};
        QRect r = opt.rect.adjusted(3, 0, 0, 0);
        painter->save();
        painter->setClipRect(opt.rect);
        painter->setFont(opt.font);
        for (int i = 0; i < 3; ++i) {
            const int w = opt.fontMetrics.horizontalAdvance(parts[i]);
            const QRect piece(r.left(), r.top(), w, r.height());
            if (i == 1)
                painter->fillRect(piece, QColor(255, 235, 0));
            painter->setPen(i == 1 ? QColor(Qt::black) : opt.palette.color(QPalette::Text));
            painter->drawText(piece, Qt::AlignVCenter | Qt::TextSingleLine, parts[i]);
            r.setLeft(r.left() + w);
        }
        painter->restore();
    }
};

QCheckBox* Check(const QString& name, const QString& caption, QWidget* parent)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TReplaceDialog::TReplaceDialog(TReplaceTarget target, Interaction* ui, QWidget* parent)
    : TWorkerDialog(parent), m_target(std::move(target)), m_tell(ui)
{
    setObjectName("ReplaceDialog");
    setWindowTitle(QStringLiteral("바꾸기"));
    setModal(true);
    resize(900, 560);

    eFindText = new QLineEdit(this);
    eFindText->setObjectName("eFindText");
    eReplaceText = new QLineEdit(this);
    eReplaceText->setObjectName("eReplaceText");
    chkRegex = Check("chkRegex", QStringLiteral("정규식"), this);
    chkMatchCase = Check("chkMatchCase", QStringLiteral("대/소문자 구분"), this);
    chkWholeWord = Check("chkWholeWord", QStringLiteral("단어 단위로"), this);
    chkTextOnly = Check("chkTextOnly", QStringLiteral("태그 밖에서만"), this);
    chkTextOnly->setToolTip(QStringLiteral("태그 이름과 속성 안의 문자열은 바꾸지 않습니다."));
    rbArticle = new QRadioButton(QStringLiteral("현재 기사"), this);
    rbArticle->setObjectName("rbArticle");
    rbTab = new QRadioButton(QStringLiteral("탭 전체"), this);
    rbTab->setObjectName("rbTab");
    const bool haveArticle = m_target.tree && m_target.tree->valid(m_target.currentNode) && m_target.currentNode > 0;
    rbArticle->setEnabled(haveArticle);
    (haveArticle ? rbArticle : rbTab)->setChecked(true);
    btnList = Button("btnList", QStringLiteral("찾기"), this);
    btnList->setDefault(true);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("찾을 내용"), this), 0, 0);
    form->addWidget(eFindText, 0, 1, 1, 4);
    form->addWidget(btnList, 0, 5);
    form->addWidget(new QLabel(QStringLiteral("바꿀 내용"), this), 1, 0);
    form->addWidget(eReplaceText, 1, 1, 1, 4);
    form->addWidget(chkRegex, 2, 1);
    form->addWidget(chkMatchCase, 2, 2);
    form->addWidget(chkWholeWord, 2, 3);
    form->addWidget(chkTextOnly, 2, 4);
    form->addWidget(rbArticle, 3, 1);
    form->addWidget(rbTab, 3, 2);
    form->setColumnStretch(4, 1);

    chkAll = Check("chkAll", QStringLiteral("모두 선택"), this);
    chkAll->setChecked(true);
    gridMatches = new QTreeWidget(this);
    gridMatches->setObjectName("gridMatches");
    gridMatches->setRootIsDecorated(false);
    gridMatches->setUniformRowHeights(true);
    gridMatches->setHeaderLabels({QStringLiteral("기사"), QStringLiteral("줄"), QStringLiteral("찾은 곳"),
                                  QStringLiteral("바꾼 뒤")});
    gridMatches->setItemDelegate(new TMarkDelegate(gridMatches));
    gridMatches->setColumnWidth(ColArticle, 160);
    gridMatches->setColumnWidth(ColLine, 50);
    gridMatches->setColumnWidth(ColBefore, 330);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->hide();
    LabelResult = new QLabel(this);
    LabelResult->setObjectName("LabelResult");
    btnReplace = Button("btnReplace", QStringLiteral("바꾸기"), this);
    btnReplace->setEnabled(false);
    btnClose = Button("btnClose", QStringLiteral("닫기"), this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelResult, 1);
    bottom->addWidget(ProgressBar1, 1);
    bottom->addWidget(btnReplace);
    bottom->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkAll);
    layout->addWidget(gridMatches, 1);
    layout->addLayout(bottom);

    m_ui = new WidgetInteraction(this);
    m_ui->setProgressBars({ProgressBar1});

    connect(btnList, &QPushButton::clicked, this, &TReplaceDialog::btnListClick);
    connect(eFindText, &QLineEdit::returnPressed, this, &TReplaceDialog::btnListClick);
    connect(btnReplace, &QPushButton::clicked, this, &TReplaceDialog::btnReplaceClick);
    connect(btnClose, &QPushButton::clicked, this, &TReplaceDialog::reject);
    connect(chkAll, &QCheckBox::clicked, this, [this](bool on) {
        for (int i = 0; i < gridMatches->topLevelItemCount(); ++i)
            gridMatches->topLevelItem(i)->setCheckState(ColArticle, on ? Qt::Checked : Qt::Unchecked);
    });
}

TReplaceDialog::~TReplaceDialog()
{
    StopAndWaitWorker();
}

void TReplaceDialog::SetRunning(bool on)
{
    for (QWidget* w : {static_cast<QWidget*>(eFindText), static_cast<QWidget*>(eReplaceText),
                       static_cast<QWidget*>(btnList), static_cast<QWidget*>(btnReplace),
                       static_cast<QWidget*>(gridMatches), static_cast<QWidget*>(btnClose)})
        w->setEnabled(!on);
    if (!on)
        btnReplace->setEnabled(!m_matches.isEmpty());
    ProgressBar1->setVisible(on);
    LabelResult->setVisible(!on);
}

void TReplaceDialog::Run(std::function<void(Interaction&)> work, std::function<void()> then)
{
    SetRunning(true);
    m_ui->ClearStop();
    WidgetInteraction* ui = m_ui;
    m_worker = QThread::create([work = std::move(work), ui] { work(*ui); });
    connect(m_worker, &QThread::finished, this, [this, then = std::move(then)] {
        m_worker->deleteLater();
        m_worker = nullptr;
        SetRunning(false);
        then();
    });
    m_worker->start();
}

void TReplaceDialog::btnListClick()
{
    if (m_worker || !m_target.tree)
        return;
    TReplaceOptions options;
    options.regex = chkRegex->isChecked();
    options.matchCase = chkMatchCase->isChecked();
    options.wholeWord = chkWholeWord->isChecked();
    options.textOnly = chkTextOnly->isChecked();
    auto replacer = std::make_shared<TTextReplacer>(eFindText->text(), eReplaceText->text(), options);
    if (!replacer->valid()) {
        m_tell->ShowInfo(replacer->error());
        eFindText->setFocus();
        return;
    }
    // The listing reads the files: the editor's unsaved text must be there first.
    if (m_target.saveEdits && !m_target.saveEdits())
        return;
    m_matches.clear();
    gridMatches->clear();
    LabelResult->clear();
    const int only = rbArticle->isChecked() ? m_target.currentNode : 0;
    auto scan = std::make_shared<TReplaceScan>();
    Run([this, replacer, only, scan](Interaction& ui) {
        *scan = FindReplaceMatches(m_target.job, m_target.tab, *m_target.tree, *replacer, ui, only);
    },
        [this, scan] { ShowMatches(*scan); });
}

void TReplaceDialog::ShowMatches(const TReplaceScan& scan)
{
    m_matches = scan.matches;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_matches.size());
    for (const TReplaceMatch& m : m_matches) {
        auto* item = new QTreeWidgetItem;
        item->setText(ColArticle, m.title);
        item->setToolTip(ColArticle, m.articleId + QStringLiteral(".txt"));
        item->setCheckState(ColArticle, Qt::Checked);
        item->setText(ColLine, QString::number(m.line + 1));
        item->setTextAlignment(ColLine, Qt::AlignRight | Qt::AlignVCenter);
        QPoint mark;
        item->setText(ColBefore, Excerpt(m.before, m.match.start, m.match.length, &mark));
        item->setData(ColBefore, MarkRole, mark);
        item->setToolTip(ColBefore, m.before);
        item->setText(ColAfter, Excerpt(m.after, m.match.start, m.match.replacement.size(), &mark));
        item->setData(ColAfter, MarkRole, mark);
        item->setToolTip(ColAfter, m.after);
        rows << item;
    }
    gridMatches->addTopLevelItems(rows);
    chkAll->setChecked(true);
    btnReplace->setEnabled(!m_matches.isEmpty());
    QString text = m_matches.isEmpty() ? QStringLiteral("찾는 문자열이 없습니다.")
                                       : QStringLiteral("기사 %1개에서 %2곳을 찾았습니다.")
                                             .arg(scan.articles)
                                             .arg(m_matches.size());
    if (scan.stopped)
        text += QStringLiteral(" (중단)");
    LabelResult->setText(text);
}

void TReplaceDialog::btnReplaceClick()
{
    if (m_worker)
        return;
    auto chosen = std::make_shared<QList<TReplaceMatch>>();
    QList<int> nodes;
    for (int i = 0; i < gridMatches->topLevelItemCount() && i < m_matches.size(); ++i)
        if (gridMatches->topLevelItem(i)->checkState(ColArticle) == Qt::Checked) {
            chosen->append(m_matches[i]);
            if (nodes.isEmpty() || nodes.last() != m_matches[i].node)
                nodes << m_matches[i].node;
        }
    if (chosen->isEmpty()) {
        m_tell->ShowInfo(QStringLiteral("바꿀 곳이 하나도 선택되지 않았습니다."));
        return;
    }
    if (m_target.saveEdits && !m_target.saveEdits())
        return;
    auto outcome = std::make_shared<TReplaceOutcome>();
    Run([this, chosen, outcome](Interaction& ui) {
        *outcome = ApplyReplaceMatches(m_target.job, m_target.tab, *m_target.tree, *chosen, ui);
    },
        [this, outcome, nodes] {
            // The listed lines are what the files held before: a second replace must list again.
            m_matches.clear();
            gridMatches->clear();
            btnReplace->setEnabled(false);
            if (m_target.replaced)
                m_target.replaced(nodes);
            QString text = QStringLiteral("기사 %1개에서 %2곳을 바꾸었습니다.")
                               .arg(outcome->articlesChanged)
                               .arg(outcome->matchesReplaced);
            LabelResult->setText(text);
            if (!outcome->errors.isEmpty())
                text += QStringLiteral("\r\n") + outcome->errors.join(QStringLiteral("\r\n"));
            m_tell->ShowInfo(text);
        });
}
