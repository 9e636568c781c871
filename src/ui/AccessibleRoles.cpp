#include "ui/AccessibleRoles.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace tonvela {

namespace {

QAccessibleInterface* WindowRoles(const QString& className, QObject* object) {
    if (className == QLatin1String("tonvela::CMainDlg") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

void InstallAccessibleRoles() {
    // Installed once however often this is called: the toolkit keeps a list and asks each entry.
    QAccessible::removeFactory(WindowRoles);
    QAccessible::installFactory(WindowRoles);
}

QString AccessibleLabelText(const QString& label) {
    QString text;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == QLatin1Char('&') && i + 1 < label.size()) ++i;  // "&&" keeps one ampersand
        text += label[i];
    }
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) text.chop(1);
    return text.trimmed();
}

}  // namespace tonvela
