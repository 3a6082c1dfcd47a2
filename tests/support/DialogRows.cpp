#include "support/DialogRows.h"

#include <QWidget>
#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/NumberEdit.h"

QList<NumberEdit*> rowsInOrder(QWidget* dialog)
{
    QList<NumberEdit*> rows = dialog->findChildren<NumberEdit*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(rows.begin(), rows.end(), [](NumberEdit* a, NumberEdit* b) {
        return qMakePair(a->x(), a->y()) < qMakePair(b->x(), b->y());
    });
    return rows;
}

QStringList shownRows(QWidget* dialog)
{
    QList<QWidget*> rows;
    const QList<QWidget*> children = dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (qobject_cast<ColoredLabel*>(child) || qobject_cast<NumberEdit*>(child))
            rows.append(child);
    }
    std::sort(rows.begin(), rows.end(),
              [](QWidget* a, QWidget* b) { return qMakePair(a->x(), a->y()) < qMakePair(b->x(), b->y()); });
    QStringList texts;
    for (QWidget* row : qAsConst(rows)) {
        if (auto* title = qobject_cast<ColoredLabel*>(row)) {
            texts << QLatin1Char('[') + title->text() + QLatin1Char(']');
            continue;
        }
        auto* edit = static_cast<NumberEdit*>(row);
        texts << (edit->unitText().isEmpty() ? edit->labelText() : edit->labelText() + '|' + edit->unitText());
    }
    return texts;
}
