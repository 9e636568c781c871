#include "ui/webengine/QuietEngine.h"

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

namespace tonvela {

QByteArray QuietChromiumFlags(const QByteArray& flags) {
    // An explicit choice of the user's, e.g. --log-level=0 to see everything, stays as it is.
    const QByteArray trimmed = flags.trimmed();
    if (trimmed.contains("--log-level")) return flags;
    return trimmed.isEmpty() ? QByteArray("--log-level=3") : trimmed + " --log-level=3";
}

void QuietWebEngine() {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QuietChromiumFlags(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
    // Warnings and errors of the engine's own categories still come through.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false\n"
                                                    "qt.webenginecontext.debug=false"));
}

}  // namespace tonvela
