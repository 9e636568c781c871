#include "ui/OptionsPage.h"

#include <QUrl>

#include "platform/ShellOpen.h"

namespace tonvela {

void OpenHelpTopic(const std::string& dataFolder, const QString& page, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(dataFolder) + QStringLiteral("help/") + page);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    // The handler is started with the address as its own argument; nothing to report when
    // there is no handler at all.
    ShellOpen(url.toString(QUrl::FullyEncoded).toStdString());
}

}  // namespace tonvela
