#include "ui/SettingsNotSaved.h"

#include "ui/MessageBox.h"

namespace tonvela {

QString SettingsNotSavedText(const QString& what, const std::string& why) {
    return QStringLiteral("%1 could not be saved: %2.\n\nThey apply until Tonvela closes; check that the settings "
                          "folder can be written.")
        .arg(what, QString::fromStdString(why));
}

void ReportSettingsNotSaved(QWidget* parent, const QString& what, const std::string& why) {
    ShowMessageBox(parent, SettingsNotSavedText(what, why), MessageIcon::Exclamation);
}

}  // namespace tonvela
