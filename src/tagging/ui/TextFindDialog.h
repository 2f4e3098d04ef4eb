#pragma once
// The find dialog of the text panes: what to find, match case, whole word, up or down.
// It stays open beside its window and asks the window for every "find next".

#include "tagging/TagEditor.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TTextFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TTextFindDialog(QWidget* parent = nullptr);

    QString findText() const;
    TFindOptions options() const;

    QLineEdit* eFindText = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QRadioButton* rbUp = nullptr;
    QRadioButton* rbDown = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    void findNext(const QString& text, const TFindOptions& options);
};
