#pragma once

#include "shell/kit/OneTextFieldCell.h"

// The same placement as OneTextFieldCell, for the second kind of table text.
class TwoTextFieldCell : public OneTextFieldCell {
    Q_OBJECT
public:
    using OneTextFieldCell::OneTextFieldCell;
};
