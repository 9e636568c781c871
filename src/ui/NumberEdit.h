// A number edit with a spin button: the edit takes digits only and any value they spell, the
// spin button steps within its own range (so a value typed outside it can still be refused by
// the page, with the page's own message).
#pragma once

#include <QSpinBox>
#include <optional>

namespace tonvela {

class CNumberEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit CNumberEdit(QWidget* parent = nullptr);

    void SetSpinRange(int low, int high, int step);
    // The number in the edit; empty when it holds none (an empty edit).
    std::optional<int> Number() const;
    // Shows value; a negative one shows as 0 (the edit holds digits only).
    void SetNumber(int value);

protected:
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;

private:
    int low_ = 0;
    int high_ = 0;
};

}  // namespace tonvela
