#pragma once
// Window positions in the settings file, section "F_" + window name, for any top-level window.
// Errors of the settings file are swallowed.

#include "shell/Settings.h"

#include <QString>

class QWidget;

// Writes state (0 normal, 1 minimised, 2 maximised) and the normal bounds of the window.
// `formName` defaults to the window's objectName.
void SaveFormPosition(QWidget* form, const QString& formName = {});
// Applies the stored bounds (defaults 0, 0, 1024, 730); a window that would land off every
// screen is moved back to the top-left corner of the primary one.
void RestoreFormPosition(QWidget* form, const QString& formName = {});
