#include "ui/NumberEdit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <climits>

#include "convert/SettingsCatalog.h"

namespace tonvela {

CNumberEdit::CNumberEdit(QWidget* parent) : QAbstractSpinBox(parent), high_(INT_MAX) {
    setAccelerated(true);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 24);
    connect(lineEdit(), &QLineEdit::textChanged, this, &CNumberEdit::textChanged);
}

void CNumberEdit::SetSpinRange(int low, int high, int step) {
    low_ = low;
    high_ = high;
    step_ = step;
    // Room for every digit the range allows and one more, beside the spin button: a number
    // never scrolls out of sight, and one digit too many is refused as it is typed.
    maxDigits_ = static_cast<int>(QString::number(std::max(high, 0)).size());
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const int buttons = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this).width();
    const int digits = fontMetrics().horizontalAdvance(QString(maxDigits_ + 1, QLatin1Char('0')));
    setMinimumWidth(digits + std::max(buttons, 16) + 12);
}

std::optional<int> CNumberEdit::Number() const {
    const QString text = lineEdit()->text();
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0) return std::nullopt;
    return v;
}

void CNumberEdit::SetNumber(int value) { lineEdit()->setText(QString::number(std::max(value, 0))); }

QValidator::State CNumberEdit::validate(QString& input, int&) const {
    if (input.isEmpty()) return QValidator::Intermediate;
    for (QChar c : input)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QValidator::Invalid;
    if (maxDigits_ > 0 && input.size() > maxDigits_) return QValidator::Invalid;
    bool ok = false;
    input.toInt(&ok);
    return ok ? QValidator::Acceptable : QValidator::Invalid;
}

void CNumberEdit::stepBy(int steps) {
    const long long v = static_cast<long long>(Number().value_or(low_)) + static_cast<long long>(steps) * step_;
    SetNumber(static_cast<int>(std::clamp<long long>(v, low_, high_)));
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

void SetSpinRangeOf(CNumberEdit* edit, const char* setting) {
    const SettingRule& rule = FindSetting(setting)->rule;
    edit->SetSpinRange(rule.low, rule.high, 1);
}

}  // namespace tonvela
