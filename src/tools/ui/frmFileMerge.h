#pragma once
// "텍스트 파일 합치기": joins the text files of one folder into one UTF-8 text file.

#include "shell/ui/WorkerDialog.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QThread;
class QTreeView;
class QWidget;
class WidgetInteraction;

class TfrmFileMerge : public TWorkerDialog {
    Q_OBJECT
public:
    explicit TfrmFileMerge(QWidget* parent = nullptr);
    ~TfrmFileMerge() override;

    // Points the folder tree at `folder` (what a click in the tree does).
    void SelectFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void DirectoryChange();
    void Button1Click();
    void btnSelectDirOKClick();
    void DriveChange();

    bool isSameFolder = true;
    bool m_shown = false;
    bool m_scrollPending = false;
    QString m_folder;
    QFileSystemModel* m_dirs = nullptr;

    QWidget* PanelTop = nullptr;
    QLabel* Panel3 = nullptr;
    QLineEdit* FolderName = nullptr;
    QWidget* PanelSaveFile = nullptr;
    QLineEdit* eSavePath = nullptr;
    QLineEdit* eSaveFilename = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* ChkSameFilename = nullptr;
    QWidget* PanelDir = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QPlainTextEdit* eMsg = nullptr;
    QListWidget* FileListBox1 = nullptr;
    QWidget* PanelBottom = nullptr;
    QPushButton* btnSelectDirOK = nullptr;
    QPushButton* btnSelectDirCancel = nullptr;
    QLabel* LabelFileCount = nullptr;
};
