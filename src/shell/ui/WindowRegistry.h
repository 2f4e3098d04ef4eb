#pragma once
// Windows opened by the main window's actions register themselves by their window name
// ("frmMakeArticle", "frmTag", ...), so the main window needs no header of theirs.
// Put one `static WindowRegistrar` in the window's .cpp file.

#include <QString>
#include <functional>

class QWidget;

enum class WindowKind {
    Child, // multiple-document child inside the main window, one of each kind
    Modal  // dialog, a fresh one on every execution
};

using WindowFactory = std::function<QWidget*(QWidget* parent)>;

struct WindowRegistrar {
    WindowRegistrar(const QString& name, WindowKind kind, WindowFactory factory);
};

// Null when no window of that name is built into the program.
const WindowFactory* FindWindowFactory(const QString& name, WindowKind* kind = nullptr);

// Modal steps that are not windows of their own but routines (login, about box) register a
// function that runs the dialog and returns its result (1 = OK).
using DialogRunner = std::function<int(QWidget* parent)>;
struct DialogRegistrar {
    DialogRegistrar(const QString& name, DialogRunner runner);
};
const DialogRunner* FindDialogRunner(const QString& name);
