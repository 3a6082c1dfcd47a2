#pragma once

#include <QList>
#include <QStringList>

class NumberEdit;
class QWidget;

// A dialog's rows as a person reads them: column by column, top to bottom.
QList<NumberEdit*> rowsInOrder(QWidget* dialog);
// The same rows as text: "[title]" for a section title, "label|unit" for an edit
// ("label" alone without a unit).
QStringList shownRows(QWidget* dialog);
