#pragma once
// "소스 태깅 작업": reading and correcting the tagged text of a tab's articles one at a time,
// with the rendered article beside it, the tags it uses and, for jobs with inserted images,
// the image page.

#include "shell/ui/EditWindow.h"
#include "tagging/TagEditor.h"

#include <QPointer>

#include "tagging/ui/fImagePanel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TTextFindDialog;
class TSpellSupport;
class QToolButton;
class TfWeb;

class TfrmTag : public TEditWindow, public ImagePanelHost {
    Q_OBJECT
public:
    explicit TfrmTag(QWidget* parent = nullptr);
    ~TfrmTag() override;

    bool Editing() const;

    // The image page's view of the editor.
    bool TextPageActive() const override;
    void SwitchToEditing() override;
    void InsertAtCaret(const QString& text) override;

    QComboBox* SourceCombo = nullptr;
    QPushButton* btnReload = nullptr;
    QLineEdit* eFolderName = nullptr;
    QLineEdit* eFileName = nullptr;
    TArticleTreeWidget* SourceTree = nullptr;
    QSplitter* SplitterMain = nullptr;
    QTabWidget* PageSource = nullptr;
    QWidget* tabText = nullptr;
    QWidget* tabUsedTag = nullptr;
    QPlainTextEdit* eTextSource = nullptr;
    QPushButton* btnEdit = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnFind = nullptr;
    QCheckBox* CheckWrap = nullptr;
    QLabel* pnlEdit = nullptr;
    QLabel* LabelTotalHeder = nullptr;
    QPushButton* btnNewHtmlTags = nullptr;
    QListWidget* UsedTagList = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTabWidget* PageHtml = nullptr;
    QWidget* tabWeb = nullptr;
    QWidget* tabHtml = nullptr;
    QWidget* tabImage = nullptr;
    TfWeb* fWeb1 = nullptr;
    QPlainTextEdit* eUnitSrc = nullptr;
    QWidget* PanelFontSize = nullptr;
    QPushButton* btnFontPlus = nullptr;
    QPushButton* btnFontZero = nullptr;
    QPushButton* btnFontMinus = nullptr;
    TfImagePanel* fImagePanel = nullptr;
    TTextFindDialog* FindDialog1 = nullptr;
    QPushButton* btnReplace = nullptr;
    QToolButton* btnSpellCheck = nullptr;
    TSpellSupport* SpellCheck = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    void LoadTab();
    bool LoadArticle();
    bool SaveArticle() override;
    void SetViewing();
    void SetEditing();

    void SourceComboChange(int index);
    void SourceTreeChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void eTextSourceChange();
    void btnEditClick();
    void btnSaveClick();
    void btnReloadClick();
    void btnFindClick();
    void FindDialog1Find(const QString& text, const TFindOptions& options);
    void btnNewHtmlTagsClick();
    void btnReplaceClick();
    void CheckWrapClick();
    void PageHtmlChange();
    void PlacePages();
    void EnablePages(bool on);

    int m_articleIndex = -1; // the article whose text is in the editor
    bool m_treePlaced = false;
    bool m_findPlaced = false;
};
