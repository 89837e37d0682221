#pragma once
// Stand-in until the numeric edit lands; replaced by the full control.
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <cstdint>

class CCustomEditCtrl : public QLineEdit {
public:
    explicit CCustomEditCtrl(QWidget* parent = nullptr) : QLineEdit(parent) {}
    bool ValidateValue(QString text, std::int32_t delta);
    void GetValueText(QString& out) { ValidateValue(text(), 0); out = valueText_; }
    const QString& ValueText() const { return valueText_; }
    std::int32_t Value() const { return value_; }
    bool IsValid() const { return valid_; }
    void SetNumericMode(bool on) { numeric_ = on; }
    bool NumericMode() const { return numeric_; }
    void SetPlusSignMode(bool on) { plusSign_ = on; }
    bool PlusSignMode() const { return plusSign_; }
    void SetRange(std::int32_t minimum, std::int32_t maximum) { minimum_ = minimum; maximum_ = maximum; }
    std::int32_t Minimum() const { return minimum_; }
    std::int32_t Maximum() const { return maximum_; }
    void SetStep(std::int32_t step) { step_ = step; }
    std::int32_t Step() const { return step_; }
private:
    QString valueText_;
    std::int32_t value_ = 0;
    bool valid_ = true;
    bool numeric_ = false;
    bool plusSign_ = false;
    std::int32_t minimum_ = 0, maximum_ = 0, step_ = 1;
};

class CCustomComboCtrl : public QComboBox {
public:
    explicit CCustomComboCtrl(QWidget* parent = nullptr) : QComboBox(parent) {}
    void SetShortcuts(bool on) { shortcuts_ = on; }
    bool Shortcuts() const { return shortcuts_; }
private:
    bool shortcuts_ = true;
};
