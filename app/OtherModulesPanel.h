#pragma once

#include <QWidget>

class ModuleJournal;
class QLabel;
class QPlainTextEdit;

// The modules the bench plays around the plug-in (stick, DC, insulation
// start, test facility, print output) and every event they saw, newest last.
class OtherModulesPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 2000;

    OtherModulesPanel(ModuleJournal* journal, QString const& stickDirectory, QString const& outputDirectory,
        QWidget* parent = nullptr);
    ~OtherModulesPanel() override;

    QString text() const;

private:
    void addLine(QString const& line);

    QPlainTextEdit* m_view = nullptr;
};
