#pragma once

#include <QList>

#include "FormLabel.h"

// A printed page built of positioned labels.
class Form
{
public:
    void addLabel(FormLabel const& label) { m_labels.append(label); }
    QList<FormLabel> const& labels() const { return m_labels; }
    bool isEmpty() const { return m_labels.isEmpty(); }

private:
    QList<FormLabel> m_labels;
};
