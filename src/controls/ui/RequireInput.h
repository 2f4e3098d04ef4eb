#pragma once
// The windows' check for a field that must be filled in.

#include <QString>

class QLineEdit;

// Trims the edit's text and writes it back. When it is empty and `label` is not, tells
// "{label} : 반드시 입력해야합니다." and puts the focus into the edit. True when empty.
bool RequireInput(QLineEdit* edit, const QString& label);
