// Message boxes of the desktop program: modal, caption "Tonvela", the icon the caller names.
#pragma once

#include <QString>

#include "convert/BatchUi.h"

class QWidget;

namespace tonvela {

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon);
// A question with Yes and No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

}  // namespace tonvela
