// A number edit with a spin button: the edit takes digits only, no more of them than the
// range's highest value has, and keeps whatever the user typed (also nothing at all); the spin
// button steps within its own range. The page that owns
// it reads and checks the number when the user leaves the page, with the page's own messages.
#pragma once

#include <QAbstractSpinBox>
#include <optional>

namespace tonvela {

class CNumberEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CNumberEdit(QWidget* parent = nullptr);

    void SetSpinRange(int low, int high, int step);
    // The number in the edit; empty when it holds none (an empty edit).
    std::optional<int> Number() const;
    // Shows value; a negative one shows as 0 (the edit holds digits only).
    void SetNumber(int value);
    QLineEdit* Edit() const { return lineEdit(); }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

signals:
    void textChanged(const QString& text);

protected:
    StepEnabled stepEnabled() const override;

private:
    int low_ = 0;
    int high_ = 0;
    int step_ = 1;
    int maxDigits_ = 0;  // 0: any number of digits
};

// Sets edit's spin range to the values the named setting takes (from the settings catalogue).
void SetSpinRangeOf(CNumberEdit* edit, const char* setting);

}  // namespace tonvela
