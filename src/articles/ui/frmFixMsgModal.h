#pragma once
// The orange notice shown when the article generator meets a source line that is too long.

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

class TfrmFixMsgModal : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFixMsgModal(QWidget* parent = nullptr);

    // File, line number (from 1) and the line itself.
    void SetMessage(const QString& filePath, int lineNumber, const QString& line);

    QPlainTextEdit* MemoFixMsg = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QCheckBox* chkNoResp = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
