// The manual without a web browser: when none could open a page of it, the user is told so and
// may read it in a simple viewer of ours or copy its path.
#pragma once

#include <string>

class QWidget;

namespace tonvela {

// Says that no web browser opened the manual page at path, and offers the viewer, the path
// for the clipboard, or nothing. The message box's buttons are named "readHere", "copyPath".
void OfferManualViewer(const std::string& path, QWidget* parent);

// A modeless window showing the HTML page at path, its links to the manual's other pages
// followed inside it; it deletes itself when closed. Named "manualViewer".
void ShowManualViewer(const std::string& path, QWidget* parent);

}  // namespace tonvela
