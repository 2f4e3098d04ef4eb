#include "shell/ui/WindowRegistry.h"

#include <QHash>

namespace {
struct Entry {
    WindowKind kind;
    WindowFactory factory;
};
QHash<QString, Entry>& Windows()
{
    static QHash<QString, Entry> map;
    return map;
}
QHash<QString, DialogRunner>& Dialogs()
{
    static QHash<QString, DialogRunner> map;
    return map;
}
} // namespace

WindowRegistrar::WindowRegistrar(const QString& name, WindowKind kind, WindowFactory factory)
{
    Windows().insert(name, Entry{kind, std::move(factory)});
}

const WindowFactory* FindWindowFactory(const QString& name, WindowKind* kind)
{
    auto it = Windows().constFind(name);
    if (it == Windows().constEnd())
        return nullptr;
    if (kind)
        *kind = it->kind;
    return &it->factory;
}

DialogRegistrar::DialogRegistrar(const QString& name, DialogRunner runner)
{
    Dialogs().insert(name, std::move(runner));
}

const DialogRunner* FindDialogRunner(const QString& name)
{
    auto it = Dialogs().constFind(name);
    return it == Dialogs().constEnd() ? nullptr : &*it;
}
