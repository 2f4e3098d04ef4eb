#include "shell/ui/FormPosition.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QString NameOf(QWidget* form, const QString& formName)
{
    return formName.isEmpty() ? form->objectName() : formName;
}
} // namespace

void SaveFormPosition(QWidget* form, const QString& formName)
{
    if (!form)
        return;
    const QString name = NameOf(form, formName);
    if (name.isEmpty())
        return;
    FormPosition p;
    p.stat = form->isMinimized() ? 1 : form->isMaximized() ? 2 : 0;
    // A maximised or minimised window keeps its normal bounds for the next start.
    const QRect normal = (p.stat != 0 && form->normalGeometry().isValid()) ? form->normalGeometry()
                                                                           : form->geometry();
    const QPoint framePos = (p.stat == 0) ? form->pos() : normal.topLeft();
    p.left = framePos.x();
    p.top = framePos.y();
    p.width = normal.width();
    p.height = normal.height();
    SaveFormPosition(name, p);
}

void RestoreFormPosition(QWidget* form, const QString& formName)
{
    if (!form)
        return;
    const QString name = NameOf(form, formName);
    if (name.isEmpty())
        return;
    const FormPosition p = RestoreFormPosition(name);
    QRect r(p.left, p.top, qMax(p.width, 100), qMax(p.height, 80));
    bool onScreen = false;
    const auto screens = QGuiApplication::screens();
    for (QScreen* s : screens)
        onScreen = onScreen || s->availableGeometry().intersects(r.adjusted(0, 0, 0, -r.height() + 40));
    if (!onScreen && !screens.isEmpty()) {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        r.moveTopLeft(avail.topLeft());
    }
    form->move(r.topLeft());
    form->resize(r.size());
}
