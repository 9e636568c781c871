// A push button of a window that has no default button: Enter never presses it.
#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace tonvela {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent);

}  // namespace tonvela
