// Keeps the terminal quiet while the preview's web engine starts: without this every start
// prints its graphics context dump, "WebGL blocklisted" per canvas and D-Bus connection
// failures, none of which the user can act on.
#pragma once

#include <QByteArray>

namespace tonvela {

// The engine's command-line flags with ours appended to the user's own (flags): Chromium's log
// limited to fatal errors, unless the user chose a log level. A user's value is never dropped.
QByteArray QuietChromiumFlags(const QByteArray& flags);

// Applies QuietChromiumFlags to QTWEBENGINE_CHROMIUM_FLAGS and turns off the engine's
// informational log category. Must run before the engine starts. Rules given in
// QT_LOGGING_RULES still win, so a developer can have every line back.
void QuietWebEngine();

}  // namespace tonvela
