#pragma once
// The system's one-line input: filters what is typed into date, time, decimal and integer
// fields, normalises dates and times on leaving, Enter moves on, Esc restores, and a
// read-only mode that takes the colour of its surroundings.

#include "controls/EditPlusRules.h"

#include <QClipboard>
#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>

class QLabel;

class TEditPlus : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool p_ISDATE READ p_ISDATE WRITE setP_ISDATE)
    Q_PROPERTY(bool p_ISTIME READ p_ISTIME WRITE setP_ISTIME)
    Q_PROPERTY(bool p_ISFLOAT READ p_ISFLOAT WRITE setP_ISFLOAT)
    Q_PROPERTY(bool p_NumberOnly READ p_NumberOnly WRITE setP_NumberOnly)
    Q_PROPERTY(bool p_RETURN2TAB READ p_RETURN2TAB WRITE setP_RETURN2TAB)
    Q_PROPERTY(bool p_AutoSelect READ p_AutoSelect WRITE setP_AutoSelect)
    Q_PROPERTY(CaseMode CharCase READ CharCase WRITE setCharCase)
    Q_PROPERTY(bool p_ReadOnlyPLUS READ p_ReadOnlyPLUS WRITE setP_ReadOnlyPLUS)
    Q_PROPERTY(QColor p_ReadOnlyColor READ p_ReadOnlyColor WRITE setP_ReadOnlyColor)
    Q_PROPERTY(bool p_ReadOnlyPColor READ p_ReadOnlyPColor WRITE setP_ReadOnlyPColor)
    Q_PROPERTY(bool p_ReadOnlyBorder READ p_ReadOnlyBorder WRITE setP_ReadOnlyBorder)

public:
    enum CaseMode { ecNormal, ecUpperCase, ecLowerCase };
    Q_ENUM(CaseMode)

    explicit TEditPlus(QWidget* parent = nullptr);

    // The four kinds exclude each other: turning one on turns the other three off.
    bool p_ISDATE() const { return m_kind == EditKind::Date; }
    bool p_ISTIME() const { return m_kind == EditKind::Time; }
    bool p_ISFLOAT() const { return m_kind == EditKind::Decimal; }
    bool p_NumberOnly() const { return m_kind == EditKind::Integer; }
    void setP_ISDATE(bool on) { setKindFlag(EditKind::Date, on); }
    void setP_ISTIME(bool on) { setKindFlag(EditKind::Time, on); }
    void setP_ISFLOAT(bool on) { setKindFlag(EditKind::Decimal, on); }
    void setP_NumberOnly(bool on) { setKindFlag(EditKind::Integer, on); }
    EditKind kind() const { return m_kind; }

    bool p_RETURN2TAB() const { return m_return2Tab; }
    void setP_RETURN2TAB(bool on) { m_return2Tab = on; }
    bool p_AutoSelect() const { return m_autoSelect; }
    void setP_AutoSelect(bool on) { m_autoSelect = on; }
    CaseMode CharCase() const { return m_charCase; }
    void setCharCase(CaseMode mode) { m_charCase = mode; }

    bool p_ReadOnlyPLUS() const { return m_readOnlyPlus; }
    void setP_ReadOnlyPLUS(bool on);
    QColor p_ReadOnlyColor() const { return m_readOnlyColor; }
    void setP_ReadOnlyColor(const QColor& c);
    bool p_ReadOnlyPColor() const { return m_readOnlyPColor; }
    void setP_ReadOnlyPColor(bool on);
    bool p_ReadOnlyBorder() const { return m_readOnlyBorder; }
    void setP_ReadOnlyBorder(bool on);

    // The text the field had when it was entered; Esc goes back to it.
    QString oldText() const { return m_oldText; }

    // The two date labels beside a focused date field (null while absent).
    QLabel* calendarBtn() const { return m_calendarBtn; }
    QLabel* todayBtn() const { return m_todayBtn; }

    // What the blue and green labels do.
    void openCalendar();
    void setToday();

    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void setKindFlag(EditKind kind, bool on);
    EditCharCase charCaseRule() const;
    int insertPosition() const;
    void insertFiltered(const QString& text);
    void pasteFiltered(QClipboard::Mode mode);
    void showDateLabels();
    void removeDateLabels();
    void placeDateLabels();
    void enterField();
    void leaveField();
    void complainInvalid();
    void applyReadOnlyLook();

    EditKind m_kind = EditKind::Plain;
    bool m_return2Tab = true;
    bool m_autoSelect = false;
    CaseMode m_charCase = ecNormal;
    bool m_readOnlyPlus = false;
    QColor m_readOnlyColor;
    bool m_readOnlyPColor = true;
    bool m_readOnlyBorder = true;

    QString m_oldText;
    QPointer<QLabel> m_calendarBtn;
    QPointer<QLabel> m_todayBtn;
    bool m_entered = false;          // between entering and leaving; window switches do not count
    bool m_refocusing = false;       // focus comes back after an invalid value: keep oldText
    bool m_calendarOpen = false;
    // The palette before the read-only look was applied, to go back to it.
    bool m_lookApplied = false;
    bool m_hadOwnPalette = false;
    QPalette m_ownPalette;
};
