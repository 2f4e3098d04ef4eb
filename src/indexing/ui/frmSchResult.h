#pragma once
// "색인 작업 완료": tells that the run is complete and lists the result workbooks.

#include <QDialog>

class QPushButton;
class QTextEdit;

class TfrmSchResult : public QDialog {
    Q_OBJECT
public:
    // `resultList`: the full path of every tab's workbook, one per line.
    explicit TfrmSchResult(const QString& resultList, QWidget* parent = nullptr);

    QTextEdit* RichEdit1 = nullptr;
    QPushButton* OKBtn = nullptr;
};
