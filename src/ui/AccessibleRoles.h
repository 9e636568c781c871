// What screen readers are told about the program's own kinds of window where the toolkit's
// defaults say too little.
#pragma once

#include <QString>

namespace tonvela {

// Gives the main window, a plain widget that draws its own frame, the role of an application
// window (the toolkit would call it a mere pane). Safe to call more than once.
void InstallAccessibleRoles();

// A label's text as a name: "&Button color:" -> "Button color".
QString AccessibleLabelText(const QString& label);

}  // namespace tonvela
