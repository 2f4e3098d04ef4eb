#pragma once
// The note of an update run: what changed in this upload of the product.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfrmUpdateMsg : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdateMsg(QWidget* parent = nullptr);
    QString Note() const;

    QPlainTextEdit* RichEdit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

private:
    void BitBtn1Click();
};

// Shows the dialog modally; true with the note's lines after OK.
bool AskUpdateNote(QWidget* owner, QStringList& note);
