// Message boxes of the desktop program: modal, caption "Tonvela", the icon the caller names.
#pragma once

#include <QString>

#include "convert/BatchUi.h"

class QWidget;

namespace tonvela {

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon);
// Which answer Enter gives to a question: the safe one where Yes throws work away.
enum class DefaultAnswer { Yes, No };
// A question with Yes and No; true for Yes. Esc always answers No.
bool AskYesNo(QWidget* parent, const QString& text, DefaultAnswer answer = DefaultAnswer::Yes);

}  // namespace tonvela
