#include "calib/referenceform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>

namespace {

const int kPercent = 1; // the tolerance unit combo's second entry

template <typename T> const T *child(const QWidget *form, const char *name)
{
    return form->findChild<T *>(QLatin1String(name));
}

} // namespace

ReferenceEntry ReferenceForm::entry(const QWidget *form)
{
    ReferenceEntry e;
    // A form without one of the widgets leaves its value as a new entry has it.
    if (const auto *zero = child<QCheckBox>(form, "checkBox_zero"))
        e.zero = zero->isChecked();
    if (const auto *reference = child<QDoubleSpinBox>(form, "doubleSpinBox_reference"))
        e.reference = reference->value();
    if (const auto *tolerance = child<QDoubleSpinBox>(form, "doubleSpinBox_tolerance"))
        e.tolerance = tolerance->value();
    if (const auto *unit = child<QComboBox>(form, "comboBox_tolerance_unit"))
        e.percent = unit->currentIndex() == kPercent;
    if (const auto *always = child<QCheckBox>(form, "checkBox_adjust_always"))
        e.adjustAlways = always->isChecked();
    if (const auto *checkOnly = child<QCheckBox>(form, "checkBox_check_only"))
        e.checkOnly = checkOnly->isChecked();
    if (const auto *lot = child<QLineEdit>(form, "lineEdit_lot"))
        e.lot = lot->text();
    if (const auto *expiry = child<QDateEdit>(form, "dateEdit_expiry"))
        e.expiry = expiry->date();
    if (const auto *uncertainty = child<QDoubleSpinBox>(form, "doubleSpinBox_uncertainty"))
        e.uncertainty = uncertainty->value();
    return e;
}
