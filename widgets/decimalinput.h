#pragma once

class QAbstractSpinBox;

// Lets a numeric editor take "." and "," alike as the decimal separator, whatever the user's
// locale, and no group separators: in a German locale "1.5" must not become 15.
void acceptAnyDecimalSeparator(QAbstractSpinBox *editor);
