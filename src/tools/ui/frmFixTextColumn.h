#pragma once
// "긴 줄 줄이기": cuts the over-long lines of one source file at up to five split texts.

#include "shell/ui/WorkerDialog.h"

#include "tools/LineSplitter.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;
class QTimer;
class WidgetInteraction;

class TfrmFixTextColumn : public TWorkerDialog {
    Q_OBJECT
public:
    explicit TfrmFixTextColumn(QWidget* parent = nullptr);
    ~TfrmFixTextColumn() override;

    // Opens the splitter on `filePath` the way the article generator does: with `noAsk` the
    // run starts at once and the window shows itself only when something is left for the
    // operator. True when the file was fixed (OK); `noAsk` takes the final "묻지 않기".
    static bool Run(QWidget* parent, const QString& filePath, bool& noAsk);

    void SetFileName(const QString& filePath);

    QPlainTextEdit* eFileName = nullptr;
    std::array<QLineEdit*, SplitTextCount> eSeperator{};
    std::array<QRadioButton*, SplitTextCount> rbSep1{}; // "앞"
    std::array<QRadioButton*, SplitTextCount> rbSep2{}; // "뒤"
    QWidget* PanelOptions = nullptr;
    QPushButton* btnStart = nullptr;
    QPlainTextEdit* eMsg = nullptr;
    QWidget* PanelProgress = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* LabelProgress = nullptr;
    QLabel* LabelTime = nullptr;
    QWidget* PanelEnding = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QCheckBox* chkNoResp = nullptr;

signals:
    void runFinished(bool ok);

protected:

private:
    void Opening();
    void ShowOptions();
    void btnStartClick();
    void StartRun(const LineSplitOptions& options);
    void RunFinished(const LineSplitResult& result);
    void Timer2Timer();
    void ShowFull();
    LineSplitOptions CurrentOptions() const;
    void Log(const QString& line);

    QString m_file;
    // Split texts as taken over at creation or at the last start; the positions are read
    // from the radio buttons whenever the options are shown.
    std::array<QString, SplitTextCount> strSeperator;
    int iElapsed = 0;
    QTimer* Timer2 = nullptr;
    bool m_stopped = false; // Esc, confirmed: the caller stops
};
