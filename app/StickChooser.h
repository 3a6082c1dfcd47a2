#pragma once

#include <QDialog>
#include <QFileInfoList>

class QTreeWidget;

// The stick module's file chooser: the calibration files on the stick, newest
// first, with size and date.
class StickChooser : public QDialog
{
    Q_OBJECT

public:
    StickChooser(QString const& stickDirectory, QFileInfoList const& files, QWidget* parent = nullptr);
    ~StickChooser() override;

    // The chosen file's path; empty when none is chosen.
    QString chosenFile() const;

private:
    QTreeWidget* m_files = nullptr;
};
