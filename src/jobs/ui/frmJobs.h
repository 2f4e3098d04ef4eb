#pragma once
// Defines a new job or shows and changes the open one: product, job folder, tab source folders.

#include "jobs/JobDefinition.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;
class QTableWidget;
class Interaction;

class TfrmJobs : public QDialog {
    Q_OBJECT
public:
    explicit TfrmJobs(QWidget* parent = nullptr);

    // Seams for tests: the product list request (the list window's own client when unset), the
    // folder dialog and the message boxes.
    void setFormPost(FormPostFn post) { m_post = std::move(post); }
    using FolderChooser = std::function<QString(const QString& caption, const QString& startFolder)>;
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setInteraction(Interaction* ui) { m_ui = ui; }

    bool is_new_job = false;
    const TJobForm& form() const { return m_form; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnJob_NameClick();
    void btnJob_WorkFolderClick();
    void gridTabsDblClick(int row);
    void btnSaveClick();
    void ShowForm();
    QString ChooseFolder(const QString& caption, const QString& startFolder);

    QLineEdit* eJob_Name = nullptr;
    QPushButton* btnJob_Name = nullptr;
    QLineEdit* eJob_WorkFolder = nullptr;
    QPushButton* btnJob_WorkFolder = nullptr;
    QLineEdit* ePID = nullptr;
    QLineEdit* ePCode = nullptr;
    QLineEdit* esImage = nullptr;
    QLineEdit* eiImage = nullptr;
    QTableWidget* gridTabs = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

    TJobForm m_form;
    FormPostFn m_post;
    FolderChooser m_chooseFolder;
    Interaction* m_ui = nullptr;
    bool m_shown = false;
};
