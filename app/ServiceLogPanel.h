#pragma once

#include <QWidget>

class LoggingCtrl;
class QPlainTextEdit;

// The service log as the module writes it, newest line last.
class ServiceLogPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 5000;

    explicit ServiceLogPanel(LoggingCtrl* logger, QWidget* parent = nullptr);
    ~ServiceLogPanel() override;

    QString text() const;

public slots:
    void addLine(QString const& text);

private:
    QPlainTextEdit* m_view = nullptr;
};
