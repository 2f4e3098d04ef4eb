#pragma once
// "바꾸기": find and replace over the open article or the whole tab. Every match is listed first
// with its article and line; the ticked ones are written back the way the editor saves. The
// articles are read and written on a worker thread; Esc stops a long listing.

#include "articles/ArticleIndex.h"
#include "tagging/TabReplace.h"

#include "shell/ui/WorkerDialog.h"

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class Interaction;

// What the dialog works on; the tree outlives the (modal) dialog.
struct TReplaceTarget {
    TJobDefine job;
    int tab = -1;
    const TArticleTree* tree = nullptr;
    int currentNode = 0; // the article open in the editor, 0 when none
    // Before articles are read: unsaved edits are dealt with; false stops.
    std::function<bool()> saveEdits;
    // After writing: the nodes whose files were replaced (the editor shows the new text).
    std::function<void(const QList<int>&)> replaced;
};

class TReplaceDialog : public TWorkerDialog {
    Q_OBJECT
public:
    TReplaceDialog(TReplaceTarget target, Interaction* ui, QWidget* parent = nullptr);
    ~TReplaceDialog() override;

    QLineEdit* eFindText = nullptr;
    QLineEdit* eReplaceText = nullptr;
    QCheckBox* chkRegex = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QCheckBox* chkTextOnly = nullptr;
    QRadioButton* rbArticle = nullptr;
    QRadioButton* rbTab = nullptr;
    QPushButton* btnList = nullptr;
    QCheckBox* chkAll = nullptr;
    QTreeWidget* gridMatches = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* LabelResult = nullptr;
    QPushButton* btnReplace = nullptr;
    QPushButton* btnClose = nullptr;

private:
    void btnListClick();
    void btnReplaceClick();
    void ShowMatches(const TReplaceScan& scan);
    void Run(std::function<void(Interaction&)> work, std::function<void()> then);
    void SetRunning(bool on);

    TReplaceTarget m_target;
    Interaction* m_tell; // the window's messages and questions; m_ui serves the worker
    QList<TReplaceMatch> m_matches; // the listed matches, row for row
};
