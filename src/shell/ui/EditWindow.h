#pragma once
// The frame of every editing child window: messages through a replaceable interaction, the
// unsaved state kept in the save button, the tab chosen in a combo box, the load deferred until
// the window is painted, and the questions before another tab is shown and before closing.

#include <QWidget>
#include <functional>

class Interaction;
class QAbstractButton;
class QComboBox;
class QPushButton;
class QToolButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class WidgetInteraction;

inline const QString CancelEditsQuestion = QStringLiteral("수정 내용을 취소합니까?");
inline const QString CancelAllQuestion = QStringLiteral("작업 내용을 모두 취소합니까?");

class TEditWindow : public QWidget {
    Q_OBJECT
public:
    // Messages and questions of the window (tests put a script here).
    void setInteraction(Interaction* ui);

    // Control events stay inert while this is false (the window is loading).
    bool isInit = false;
    // Unsaved changes: the save button's own enabled state, also while a panel around it is disabled.
    bool Dirty() const;

    // Fires once, 10 ms after the first show: the window is painted before it starts reading.
    QTimer* Timer1 = nullptr;

protected:
    explicit TEditWindow(QWidget* parent = nullptr);

    virtual void Timer1Timer() = 0;

    // The save button and the one that is enabled along with it (none: the save button alone).
    void SetDirtyButtons(QAbstractButton* save, QAbstractButton* companion = nullptr);
    void SetDirty(bool on);
    // True when there is nothing unsaved or the operator agrees to give it up.
    bool DirtyGivenUp(const QString& question);

    // Controls every editor builds alike. The tab combo ("SourceCombo") chooses the tab shown;
    // `leading` entries (a placeholder) come before the tabs.
    QComboBox* NewTabCombo(QWidget* parent, int minimumWidth, int leading = 0);
    static QPushButton* NewButton(const QString& name, const QString& caption, QWidget* parent);
    static QToolButton* NewToolButton(const QString& name, const QString& caption, int minimumWidth, QWidget* parent,
                                      const QString& hint = {});
    // The tab of the open job the combo names, -1 for none.
    int ChosenTab() const;
    // The combo moved to `index`. While the window loads this is only noted; otherwise `mayLeave`
    // (a question or a save) decides, and on a refusal the combo goes back to the tab shown.
    // True when the window is to show the new tab.
    bool TabChanging(int index, const std::function<bool()>& mayLeave);
    // Puts the combo on `index` without a change event.
    void ShowTabInCombo(int index);
    int m_comboIndex = -1; // the combo entry of the tab shown

    // An article tree moved away from `previous`: the article left is saved first (SaveArticle);
    // when that fails the tree goes back to it. False when the window stays on the article.
    bool LeaveArticle(QTreeWidget* tree, QTreeWidgetItem* previous);
    virtual bool SaveArticle() { return true; }
    bool m_reverting = false; // a control is being put back; its change events are ignored

    // Closes without the unsaved-changes question; inside the main window the frame goes too.
    void CloseWindow();
    // "작업취소": once the operator agrees, the changes are given up and the window closes.
    void CancelAndClose();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    Interaction* m_ui = nullptr;
    WidgetInteraction* m_ownUi = nullptr;
    bool m_discard = false; // the operator gave up the changes: closing asks no more
    QString m_closeQuestion = QStringLiteral("작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까");

private:
    QAbstractButton* m_save = nullptr;
    QAbstractButton* m_companion = nullptr;
    QComboBox* m_tabCombo = nullptr;
    int m_leading = 0;
    bool m_started = false;
};
