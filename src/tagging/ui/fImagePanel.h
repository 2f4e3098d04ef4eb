#pragma once
// "삽화연결": the tag editor's page for the inserted images under {job}/img: browse a folder's
// JPEG files, look at one, shrink, restore, rename or delete it, open it in the viewer, and
// put its img tag into the article at the caret.

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QFileSystemModel;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QTreeView;
class TEditPlus;
class TImageDragScroll;

// What the panel needs from the editor that hosts it.
class ImagePanelHost {
public:
    virtual ~ImagePanelHost() = default;
    virtual bool TextPageActive() const = 0;      // tabText is the active page of the left work area
    virtual void SwitchToEditing() = 0;           // as btnEdit does; no-op when already editing
    virtual void InsertAtCaret(const QString& text) = 0; // into eTextSource at the caret
};

class TfImagePanel : public QWidget {
    Q_OBJECT
public:
    TfImagePanel(ImagePanelHost& host, const QString& jobFolder, QWidget* parent = nullptr);

    // Lists the "*.jpg" files of the current folder as buttons.
    void FillImageList();
    // Hides the shrink and rename bars (the editor does so when it loads a tab).
    void CloseBars();

    QString ImageRootPath() const { return m_root; }
    QString CurrentFolder() const { return m_folder; }
    // {folder}/{eImageFname}
    QString ImagePath() const;
    QStringList ImageNames() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ChooseImage(const QString& fileName);
    void ShowImage();
    void SetToolsEnabled(bool on);
    void LayoutButtons();
    void ClearPicture();

    void btnImgInsertClick();
    void BtnChangeImgFolderClick();
    void ImgDirectoryListBoxChange(const QString& folder);
    void btnChangeImageOkClick();
    void tbResizeClick();
    void btnChangeSizeClick();
    void btnOrgClick();
    void tbRenameClick();
    void btnRenameClick();
    void tbDeleteClick();
    void tbImgWindowClick();

    ImagePanelHost& m_host;
    QString m_root;
    QString m_folder;
    QImage m_picture;
    int m_columns = 0;
    bool m_revertingFolder = false;

    QLabel* ImgFolderName = nullptr;
    QToolButton* BtnChangeImgFolder = nullptr;
    QToolButton* btnRefreshImg = nullptr;
    QScrollArea* ImageButtonGroup = nullptr;
    QWidget* m_buttonsHost = nullptr;
    QGridLayout* m_buttonsGrid = nullptr;
    QButtonGroup* m_buttons = nullptr;
    QWidget* PanelImgControl = nullptr;
    QWidget* PanelImgInfo = nullptr;
    QLineEdit* eImageFname = nullptr;
    QLineEdit* eImgW = nullptr;
    QLineEdit* eImgH = nullptr;
    QWidget* ToolBarImg = nullptr;
    QToolButton* tbResize = nullptr;
    QToolButton* tbRename = nullptr;
    QToolButton* tbDelete = nullptr;
    QToolButton* tbImgWindow = nullptr;
    QPushButton* btnImgInsert = nullptr;
    QFrame* PanelResize = nullptr;
    TEditPlus* eResizeWidth = nullptr;
    QPushButton* btnChangeSize = nullptr;
    QPushButton* btnOrg = nullptr;
    QPushButton* btnHideResize = nullptr;
    QFrame* PanelRename = nullptr;
    TEditPlus* eRename = nullptr;
    QLabel* jpgEXT = nullptr;
    QPushButton* btnRename = nullptr;
    QPushButton* btnHideRename = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* m_pictureHolder = nullptr;
    QLabel* Image1 = nullptr;
    TImageDragScroll* m_drag = nullptr;
    QFrame* PanelChangeImage = nullptr;
    QFileSystemModel* m_dirModel = nullptr;
    QTreeView* ImgDirectoryListBox = nullptr;
    QLabel* ChangeImgFolderName = nullptr;
    QPushButton* btnChangeImage_ok = nullptr;
    QPushButton* btnChangeImage_cancel = nullptr;
};
