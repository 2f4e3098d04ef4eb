#include "articles/ui/TabCombo.h"

#include "shell/myLIB.h"

#include <QComboBox>

void FillTabCombo(QComboBox* combo, const QString& firstItem)
{
    FillTabCombo(combo, myLIB.Jobs, firstItem);
}

void FillTabCombo(QComboBox* combo, const TJobDefine& job, const QString& firstItem)
{
    if (!combo)
        return;
    const QSignalBlocker quiet(combo);
    combo->clear();
    if (!firstItem.isEmpty())
        combo->addItem(firstItem);
    for (int i = 0; i < job.TabsCount && i < MaxTabs; ++i)
        combo->addItem(job.TabsName[i]);
    int index = 0;
    // A prompt in front of one tab is pointless: the tab is the only choice.
    if (!firstItem.isEmpty() && combo->count() == 2)
        index = 1;
    combo->setCurrentIndex(combo->count() > 0 ? index : -1);
    combo->setMaxVisibleItems(qMax(1, combo->count()));
}
