// A read-only window showing a text file, for View HTML Code when the desktop has no text editor.
#pragma once

#include <string>

class QWidget;

namespace tonvela {

// Opens a modeless viewer on path (at most kMaxViewedBytes of it); it deletes itself when closed.
void ShowTextViewer(const std::string& path, QWidget* parent);

inline constexpr long long kMaxViewedBytes = 4 * 1024 * 1024;

}  // namespace tonvela
