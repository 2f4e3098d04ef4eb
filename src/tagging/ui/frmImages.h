#pragma once
// "이미지 연결": the range of scanned source pages (start and end image) of every article of
// a tab, entered beside the article tree while the page images are looked at.

#include "tagging/ImageLinks.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

class Interaction;
class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTableWidget;
class QTimer;
class QTreeView;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TfWeb;

// Keeps a list or grid beside a tree row for row: every node expanded and kept so, the same
// row height, and one vertical scroll position for both. Returns the row height used.
int LineUpWithTree(QTreeView* tree, QAbstractItemView* rows);

class TfrmImages : public QWidget {
    Q_OBJECT
public:
    explicit TfrmImages(QWidget* parent = nullptr);

    // Messages and questions of the window (tests put a script here).
    void setInteraction(Interaction* ui);

    bool isInit = false;
    bool Dirty() const;
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
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer();
    void LoadTab();
    void FillImageList();
    void ShowCurrentImage();
    void LayOutImage();
    void SetDirty(bool on);
    void SetCell(int row, int column, const QString& value);
    void FitColumns();
    int ChosenTab() const;

    void SourceComboChange(int index);
    void TreeViewLeftChange(QTreeWidgetItem* current);
    void ConnectListSelectCell(int row, int column);
    void tbConnectClick();
    void tbClearClick();
    void tbClearAllClick();
    void tbSaveClick();
    void tbReloadClick();
    void tbCancelCloseClick();

    Interaction* m_ui = nullptr;
    Interaction* m_ownUi = nullptr;
    TImageLinks m_rows;
    QStringList m_images;
    QImage m_picture;
    bool m_fit = true;
    bool m_started = false;
    bool m_following = false;
    bool m_reverting = false;
    bool m_closing = false;
    int m_comboIndex = -1;
    int m_tab = -1;
};
