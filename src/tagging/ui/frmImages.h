#pragma once
// "이미지 연결": the range of scanned source pages (start and end image) of every article of
// a tab, entered beside the article tree while the page images are looked at.

#include "shell/ui/EditWindow.h"
#include "tagging/ImageLinks.h"

#include <QImage>
#include <QPoint>

class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTableWidget;
class QTreeView;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TfWeb;

// Keeps a list or grid beside a tree row for row: every node expanded and kept so, the same
// row height, and one vertical scroll position for both. Returns the row height used.
int LineUpWithTree(QTreeView* tree, QAbstractItemView* rows);

class TfrmImages : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmImages(QWidget* parent = nullptr);

    // The cells as the grid holds them (one row per tree node).
    const TImageLinks& Links() const { return m_rows; }
    QStringList Images() const { return m_images; }
    bool FitView() const { return m_fit; }
    QString imgMouseAction;
    int imgScrollXX = 0;
    int imgScrollYY = 0;

    QComboBox* SourceCombo = nullptr;
    QPushButton* tbReload = nullptr;
    QPushButton* tbClearAll = nullptr;
    QPushButton* tbConnect = nullptr;
    QPushButton* tbClear = nullptr;
    QPushButton* tbSave = nullptr;
    QPushButton* tbCancelClose = nullptr;
    QCheckBox* CheckImgSimm = nullptr;
    QSplitter* SplitterMain = nullptr;
    QSplitter* SplitterLeft = nullptr;
    TArticleTreeWidget* TreeViewLeft = nullptr;
    QTableWidget* ConnectList = nullptr;
    TfWeb* fWebLeft = nullptr;
    QWidget* PanelRight = nullptr;
    QLabel* PanelImageFolder = nullptr;
    QPushButton* btnRefreshImg = nullptr;
    QListWidget* ImagesList = nullptr;
    QPushButton* btnBigImage = nullptr;
    QPushButton* btnFixImage = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* Image1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    void LoadTab();
    void FillImageList();
    void ShowCurrentImage();
    void LayOutImage();
    void SetCell(int row, int column, const QString& value);
    void FitColumns();

    void SourceComboChange(int index);
    void TreeViewLeftChange(QTreeWidgetItem* current);
    void ConnectListSelectCell(int row, int column);
    void tbConnectClick();
    void tbClearClick();
    void tbClearAllClick();
    void tbSaveClick();
    void tbReloadClick();

    TImageLinks m_rows;
    QStringList m_images;
    QImage m_picture;
    bool m_fit = true;
    bool m_following = false;
    int m_tab = -1;
};
