// The message for settings that could not be written: the change still applies in this
// session, and the user learns why it will be gone next time. One message per save.
#pragma once

#include <QString>
#include <string>

class QWidget;

namespace tonvela {

// what: the settings in the user's words ("Your options"); why: the store's reason.
QString SettingsNotSavedText(const QString& what, const std::string& why);
void ReportSettingsNotSaved(QWidget* parent, const QString& what, const std::string& why);

}  // namespace tonvela
