#include "ui/MessageBox.h"

#include <QMessageBox>

namespace tonvela {

namespace {
QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Exclamation: return QMessageBox::Warning;
        case MessageIcon::Stop: return QMessageBox::Critical;
        case MessageIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon) {
    QMessageBox box(QtIcon(icon), QStringLiteral("Tonvela"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text, DefaultAnswer answer) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tonvela"), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(answer == DefaultAnswer::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tonvela
