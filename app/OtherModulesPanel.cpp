#include "app/OtherModulesPanel.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTime>
#include <QVBoxLayout>

#include "app/ModuleJournal.h"

OtherModulesPanel::OtherModulesPanel(
    ModuleJournal* journal, QString const& stickDirectory, QString const& outputDirectory, QWidget* parent)
    : QWidget(parent)
{
    auto* folders = new QLabel(tr("Stick: %1\nPrints: %2").arg(stickDirectory, outputDirectory), this);
    folders->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("otherModules"));
    m_view->setReadOnly(true);
    m_view->setMaximumBlockCount(MaxLines);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(folders);
    layout->addWidget(m_view);

    for (QString const& line : journal->lines())
        addLine(line);
    connect(journal, &ModuleJournal::recorded, this, &OtherModulesPanel::addLine);
}

OtherModulesPanel::~OtherModulesPanel() = default;

QString OtherModulesPanel::text() const
{
    return m_view->toPlainText();
}

void OtherModulesPanel::addLine(QString const& line)
{
    m_view->appendPlainText(
        QStringLiteral("%1  %2").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), line));
}
