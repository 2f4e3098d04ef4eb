#include "controls/ui/RequireInput.h"

#include "shell/Runtime.h"
#include "shell/ui/WidgetInteraction.h"

#include <QLineEdit>

bool RequireInput(QLineEdit* edit, const QString& label)
{
    if (!edit)
        return true;
    QString text = edit->text();
    WidgetInteraction ui(edit->window());
    const bool empty = RequireInputText(text, label, ui);
    if (text != edit->text())
        edit->setText(text);
    if (empty && !label.isEmpty())
        edit->setFocus(Qt::OtherFocusReason);
    return empty;
}
