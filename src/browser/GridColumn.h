#pragma once

#include <QString>

namespace uc {

// One column of a grid, bound to a column of its list by name.
struct GridColumn {
    QString field;
    QString title; // empty: the field name is the title
    int width = 0; // pixels; 0: the grid's default width
};

} // namespace uc
