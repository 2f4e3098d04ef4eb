#pragma once
// The tab lists of the windows.

#include <QString>

class QComboBox;
struct TJobDefine;

// Clears the combo box and lists the job's tabs in tab order, after `firstItem` when one is
// given ("=== 탭 선택 ==="). With a first item and a single tab the tab is selected, otherwise
// the first entry; the drop-down shows every entry.
void FillTabCombo(QComboBox* combo, const QString& firstItem = {});
void FillTabCombo(QComboBox* combo, const TJobDefine& job, const QString& firstItem);
