#include "ui/PushButton.h"

#include <QPushButton>

namespace tonvela {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace tonvela
