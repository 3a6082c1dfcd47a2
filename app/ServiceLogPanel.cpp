#include "app/ServiceLogPanel.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTime>
#include <QVBoxLayout>

#include "host/LoggingCtrl.h"

ServiceLogPanel::ServiceLogPanel(LoggingCtrl* logger, QWidget* parent)
    : QWidget(parent)
{
    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("serviceLog"));
    m_view->setReadOnly(true);
    m_view->setMaximumBlockCount(MaxLines);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* file = new QLabel(tr("File: %1").arg(logger->logFile()), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(file);
    layout->addWidget(m_view);

    for (QString const& line : logger->serviceTail())
        m_view->appendPlainText(line);
    connect(logger, &LoggingCtrl::serviceLogged, this, &ServiceLogPanel::addLine);
}

ServiceLogPanel::~ServiceLogPanel() = default;

QString ServiceLogPanel::text() const
{
    return m_view->toPlainText();
}

void ServiceLogPanel::addLine(QString const& text)
{
    m_view->appendPlainText(
        QStringLiteral("%1  %2").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
}
