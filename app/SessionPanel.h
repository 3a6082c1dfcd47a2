#pragma once

#include <QWidget>

class CalibrationSession;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

// The calibration session in the window: every export key with its value as
// found and its value now, marked where they differ; the journal beside it;
// "Revert to as-found" and the session report.
class SessionPanel : public QWidget
{
    Q_OBJECT

public:
    SessionPanel(CalibrationSession* session, QString const& reportFolder, QWidget* parent = nullptr);
    ~SessionPanel() override;

    // Rows changed since the values were found.
    int markedRows() const;

public slots:
    void refresh();

private:
    // Many journal lines come in one burst: the view is redrawn once after it.
    void scheduleRefresh();
    void revert();
    void saveReport();

    CalibrationSession* m_session;
    QString m_reportFolder;
    QLabel* m_status = nullptr;
    QTableWidget* m_table = nullptr;
    QPlainTextEdit* m_journal = nullptr;
    QCheckBox* m_changedOnly = nullptr;
    QPushButton* m_revert = nullptr;
    QPushButton* m_report = nullptr;
    QTimer* m_refreshTimer = nullptr;
    int m_journalShown = 0;
    bool m_refreshPending = false;
};
