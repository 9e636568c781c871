#include "ui/NumberEdit.h"

#include <QLineEdit>
#include <algorithm>
#include <climits>

namespace tonvela {

CNumberEdit::CNumberEdit(QWidget* parent) : QSpinBox(parent) {
    // The spin box's own range only keeps the edit to non-negative 32-bit numbers.
    setRange(0, INT_MAX);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setAccelerated(true);
    high_ = INT_MAX;
}

void CNumberEdit::SetSpinRange(int low, int high, int step) {
    low_ = low;
    high_ = high;
    setSingleStep(step);
}

std::optional<int> CNumberEdit::Number() const {
    const QString text = lineEdit()->text().trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0) return std::nullopt;
    return v;
}

void CNumberEdit::SetNumber(int value) { setValue(std::max(value, 0)); }

void CNumberEdit::stepBy(int steps) {
    const long long v = static_cast<long long>(Number().value_or(low_)) +
                        static_cast<long long>(steps) * singleStep();
    setValue(static_cast<int>(std::clamp<long long>(v, low_, high_)));
    selectAll();
}

QAbstractSpinBox::StepEnabled CNumberEdit::stepEnabled() const {
    if (isReadOnly() || !isEnabled()) return StepNone;
    const int v = Number().value_or(low_);
    StepEnabled e = StepNone;
    if (v < high_) e |= StepUpEnabled;
    if (v > low_) e |= StepDownEnabled;
    return e;
}

}  // namespace tonvela
