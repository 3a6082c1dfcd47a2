#include "app/SessionPanel.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/CalibrationDiff.h"
#include "app/CalibrationSession.h"
#include "app/SessionReport.h"

namespace {

// Values may also change by what the nodes answer: looked at again this often.
constexpr int kRefreshMs = 1000;
QString const kTimeFormat = QStringLiteral("hh:mm:ss");

enum Column
{
    ColumnKey,
    ColumnFound,
    ColumnNow,
    ColumnMark,
    ColumnCount
};

} // namespace

SessionPanel::SessionPanel(CalibrationSession* session, QString const& reportFolder, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_reportFolder(reportFolder)
{
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("sessionStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("sessionValues"));
    m_table->setHorizontalHeaderLabels({tr("Key"), tr("As found"), tr("Now"), QString()});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(ColumnKey, QHeaderView::Stretch);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_journal = new QPlainTextEdit(this);
    m_journal->setObjectName(QStringLiteral("sessionJournal"));
    m_journal->setReadOnly(true);
    m_journal->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    m_changedOnly = new QCheckBox(tr("Changed only"), this);
    m_changedOnly->setObjectName(QStringLiteral("sessionChangedOnly"));
    connect(m_changedOnly, &QCheckBox::toggled, this, &SessionPanel::refresh);
    m_revert = new QPushButton(tr("Revert to as-found"), this);
    m_revert->setObjectName(QStringLiteral("revertToAsFound"));
    m_report = new QPushButton(tr("Session report..."), this);
    m_report->setObjectName(QStringLiteral("sessionReport"));
    connect(m_revert, &QPushButton::clicked, this, &SessionPanel::revert);
    connect(m_report, &QPushButton::clicked, this, &SessionPanel::saveReport);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_table);
    splitter->addWidget(m_journal);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_changedOnly);
    buttons->addWidget(m_revert);
    buttons->addWidget(m_report);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(kRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &SessionPanel::refresh);
    connect(m_session, &CalibrationSession::opened, this, [this] {
        m_journal->clear();
        m_journalShown = 0;
        m_refreshTimer->start();
        scheduleRefresh();
    });
    connect(m_session, &CalibrationSession::closed, this, [this] {
        m_refreshTimer->stop();
        scheduleRefresh();
    });
    // Journal lines of a write arrive while the bus is mid-send: drawn after it.
    connect(m_session, &CalibrationSession::journalled, this, &SessionPanel::scheduleRefresh);
    refresh();
}

SessionPanel::~SessionPanel() = default;

void SessionPanel::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, &SessionPanel::refresh);
}

int SessionPanel::markedRows() const
{
    int marked = 0;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (!m_table->item(row, ColumnMark)->text().isEmpty())
            ++marked;
    }
    return marked;
}

void SessionPanel::refresh()
{
    m_refreshPending = false;
    SessionRecord const record = m_session->record();
    bool const open = record.isOpen();
    m_revert->setEnabled(open);
    m_table->horizontalHeaderItem(ColumnNow)->setText(open ? tr("Now") : tr("As left"));
    m_report->setEnabled(record.started.isValid());
    if (!record.started.isValid()) {
        m_status->setText(tr("No session yet: it opens when Calibration is switched on."));
        m_table->setRowCount(0);
        return;
    }

    QList<int> const all = CalibrationDiff::allKeys(record.asFound, record.asLeft);
    int const changed = CalibrationDiff::changedKeys(record.asFound, record.asLeft).size();
    m_table->setRowCount(m_changedOnly->isChecked() ? changed : all.size());
    int row = 0;
    QColor const band(255, 236, 179);
    for (int const parameter : all) {
        QString const found = CalibrationDiff::valueOf(record.asFound, parameter);
        QString const now = CalibrationDiff::valueOf(record.asLeft, parameter);
        bool const differs = found != now;
        if (!differs && m_changedOnly->isChecked())
            continue;
        QStringList const texts{SessionRecord::keyLabel(parameter), found, now,
                                differs ? QStringLiteral("\u25cf") : QString()};
        for (int column = 0; column < ColumnCount; ++column) {
            QTableWidgetItem* item = m_table->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                m_table->setItem(row, column, item);
            }
            item->setText(texts.at(column));
            item->setTextAlignment(column == ColumnKey ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                       : int(Qt::AlignRight | Qt::AlignVCenter));
            item->setBackground(differs ? QBrush(band) : QBrush());
        }
        ++row;
    }

    QString const times = open
        ? tr("open since %1").arg(record.started.toString(kTimeFormat))
        : tr("%1 to %2").arg(record.started.toString(kTimeFormat), record.ended.toString(kTimeFormat));
    m_status->setText(tr("Session by %1, %2: %3 of %4 values changed")
                          .arg(record.user, times)
                          .arg(changed)
                          .arg(all.size()));
    m_status->setToolTip(tr("Journal: %1").arg(record.journalFile));

    if (m_journalShown > record.journal.size()) {
        m_journal->clear();
        m_journalShown = 0;
    }
    if (m_journalShown == 0)
        m_journal->appendPlainText(tr("Journal file: %1").arg(record.journalFile));
    for (; m_journalShown < record.journal.size(); ++m_journalShown) {
        SessionRecord::Entry const& entry = record.journal.at(m_journalShown);
        m_journal->appendPlainText(QStringLiteral("%1  %2  %3")
                                       .arg(entry.time.toString(QStringLiteral("hh:mm:ss.zzz")), entry.kind, entry.text));
    }
}

void SessionPanel::revert()
{
    SessionRecord const record = m_session->record();
    int const differing = SessionRecord::notAsFound(record.asFound, record.asLeft).size();
    if (differing == 0) {
        QMessageBox::information(this, tr("Revert to as-found"), tr("Every value is as it was found."));
        return;
    }
    QMessageBox::StandardButton const answer = QMessageBox::question(this, tr("Revert to as-found"),
        tr("Values that differ from those found at %1: %2.\nWrite the values found back to the nodes?")
            .arg(record.started.toString(kTimeFormat))
            .arg(differing),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    QString error;
    m_revert->setEnabled(false);
    bool const reverted = m_session->revertToAsFound(window(), &error);
    refresh();
    if (!reverted)
        QMessageBox::warning(this, tr("Revert to as-found"), tr("The values were not all written back:\n%1").arg(error));
}

void SessionPanel::saveReport()
{
    SessionRecord const record = m_session->record();
    QString const suggested = QDir(m_reportFolder).filePath(
        QStringLiteral("session-%1.pdf").arg(record.started.toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    QString const path = QFileDialog::getSaveFileName(this, tr("Session report"), suggested, tr("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!SessionReport::write(record, path, &error))
        QMessageBox::warning(this, tr("Session report"), error);
    else
        m_journal->appendPlainText(tr("Report saved: %1").arg(path));
}
