#include "jobs/JobDefinition.h"

#include "shell/Interaction.h"
#include "shell/Runtime.h"

#include <QDir>
#include <QFileInfo>

TJobForm JobFormFromJob(const TJobDefine& job)
{
    TJobForm form;
    form.workFolder = job.WorkFolder;
    form.pNAME = job.pNAME;
    form.pID = job.pID;
    form.pCode = job.pCode;
    form.srcImage = job.srcImage;
    form.insImage = job.insImage;
    for (int i = 0; i < job.TabsCount && i < MaxTabs; ++i)
        form.rows[i] = {job.TabsName[i], job.TabsFile[i], job.TabsLink[i], job.TabsID[i]};
    return form;
}

namespace {

// Tab names of a product line as the rows take them: trimmed, at most twenty, up to the first
// blank item.
QStringList ProductTabNames(const ProductRow& product)
{
    QStringList names;
    const QStringList items = SplitFields(TrimBlanks(product.value(colTabs)), QStringLiteral(","));
    for (int i = 0; i < items.size() && i < MaxTabs; ++i) {
        const QString name = TrimBlanks(items[i]);
        if (name.isEmpty())
            break;
        names << name;
    }
    return names;
}

} // namespace

QString ProductTabsProblem(const ProductRow& product)
{
    if (QString problem = TabNamesProblem(ProductTabNames(product)); !problem.isEmpty())
        return QStringLiteral("이 제품의 탭 정보로는 작업을 만들 수 없습니다. 관리자에게 문의하십시오.\r\n") + problem;
    return {};
}

QString ApplyProduct(TJobForm& form, const ProductRow& product)
{
    if (product.size() < ProductColumnCount)
        return QStringLiteral("제품 정보가 올바르지 않습니다.");
    if (QString problem = ProductTabsProblem(product); !problem.isEmpty())
        return problem;
    form.pNAME = product[colName];
    form.pCode = product[colCode];
    form.pID = product[colID];
    form.srcImage = product[colSrcImg];
    form.insImage = product[colInsImg];
    for (TJobTabRow& row : form.rows)
        row = {};
    const QStringList names = ProductTabNames(product);
    const QStringList ids = SplitFields(product[colArIds], QStringLiteral(","));
    for (int i = 0; i < names.size(); ++i) {
        form.rows[i].name = names[i];
        form.rows[i].id = TrimBlanks(ids.value(i));
    }
    // Pairs of (tab, connected tab); a lone "x" is no pair, so it means no links.
    const QStringList links = SplitFields(product[colLinks], QStringLiteral(","));
    for (int p = 0; p + 1 < links.size(); p += 2) {
        const QString from = TrimBlanks(links[p]);
        const QString to = TrimBlanks(links[p + 1]);
        for (TJobTabRow& row : form.rows) {
            if (row.name.isEmpty())
                break;
            if (row.name == from) {
                row.link = to;
                break;
            }
        }
    }
    return {};
}

void ApplyJobFolder(TJobForm& form, const QString& folder, Interaction& ui)
{
    form.workFolder = NormalizeJobPath(folder);
    TJobDefine found;
    found.WorkFolder = form.workFolder;
    LoadJobFile(found);
    if (found.IsLoaded()) {
        if (!ui.AskYesNo(UseExistingJobQuestion))
            return;
        form.pNAME = found.pNAME;
        form.pID = found.pID;
        form.pCode = found.pCode;
    }
    for (int i = 0; i < found.TabsCount && i < MaxTabs; ++i)
        form.rows[i] = {found.TabsName[i], found.TabsFile[i], found.TabsLink[i], found.TabsID[i]};
}

QString RelativeSourceFolder(const QString& workFolder, const QString& chosen, QString* problem)
{
    const QString job = ResolvedPath(NormalizeJobPath(workFolder));
    const QString dir = ResolvedPath(NormalizeJobPath(chosen));
    if (!job.isEmpty() && dir.startsWith(job + '/') && dir.size() > job.size() + 1)
        return dir.mid(job.size() + 1);
    if (problem)
        *problem = QStringLiteral("탭의 텍스트 폴더는 작업 폴더 안에 있는 폴더여야 합니다.\r\n%1").arg(chosen);
    return {};
}

QString JobFormProblem(const TJobForm& form)
{
    if (TrimBlanks(form.workFolder).isEmpty())
        return NoWorkFolderMessage;
    if (form.pNAME.isEmpty())
        return NoProductMessage;
    for (int i = 0; i < MaxTabs; ++i)
        for (int j = i + 1; j < MaxTabs; ++j)
            if (!form.rows[i].folder.isEmpty() && form.rows[i].folder == form.rows[j].folder)
                return SameSourceMessage;
    // Tab names are keys of the job file and parts of file names.
    QStringList names;
    for (const TJobTabRow& row : form.rows)
        if (!row.name.isEmpty())
            names << row.name;
    return TabNamesProblem(names);
}

TJobDefine JobFromForm(const TJobForm& form)
{
    TJobDefine job;
    job.WorkFolder = NormalizeJobPath(form.workFolder);
    job.pID = form.pID;
    job.pCode = form.pCode;
    job.pNAME = form.pNAME;
    job.srcImage = form.srcImage;
    job.insImage = form.insImage;
    for (const TJobTabRow& row : form.rows) {
        if (row.name.isEmpty() || job.TabsCount >= MaxTabs)
            continue;
        const int i = job.TabsCount++;
        job.TabsName[i] = row.name;
        job.TabsFile[i] = row.folder;
        job.TabsLink[i] = row.link;
        job.TabsID[i] = row.id;
    }
    return job;
}

bool SaveJobForm(const TJobForm& form, TJobDefine& openJob, Interaction& ui)
{
    if (QString problem = JobFormProblem(form); !problem.isEmpty()) {
        ui.ShowInfo(problem);
        return false;
    }
    TJobDefine job = JobFromForm(form);
    job.MainTabs = openJob.MainTabs;
    QString error;
    if (!SaveJobFile(job, &error)) {
        ui.ShowInfo(error);
        return false;
    }
    openJob = job;
    return true;
}
