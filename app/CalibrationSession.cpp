#include "app/CalibrationSession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <pwd.h>
#include <unistd.h>

#include "app/CalibrationDiff.h"
#include "app/HostEnvironment.h"
#include "app/StickLoad.h"
#include "data/LonCalibrationTypes.h"
#include "host/AppendFile.h"
#include "host/DialogWindow.h"
#include "host/LoggingCtrl.h"
#include "module/ILonCalibration.h"

namespace {

// The module's own service log lines for the calibration toggle.
QString const kSwitchedOn = QStringLiteral("Switch on LON-Calibration mode");
QString const kSwitchedOff = QStringLiteral("Switch off LON-Calibration mode");

QString keyOf(int parameter)
{
    return LonCalibrationTypes::calibrationParameterKey(static_cast<LonCalibrationTypes::CalibrationParameters>(parameter));
}

// A control variable the profile holds no memory for: its bytes before the
// session's first write to it are unknown.
QJsonValue bytesValue(QByteArray const& bytes, bool known)
{
    return known ? QJsonValue(QString::fromLatin1(bytes.toHex())) : QJsonValue(QJsonValue::Null);
}

QString hex(QByteArray const& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

CalibrationSession::CalibrationSession(HostEnvironment& host, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_user(defaultUser())
{
}

CalibrationSession::~CalibrationSession()
{
    detach();
}

QString CalibrationSession::defaultUser()
{
    if (struct passwd const* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_name != nullptr)
        return QString::fromLocal8Bit(entry->pw_name);
    QString const name = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

void CalibrationSession::attach()
{
    if (m_attached)
        return;
    m_attached = true;
    m_record = SessionRecord();
    m_connections << connect(getLogger(), &LoggingCtrl::serviceLogged, this, &CalibrationSession::onServiceLogged);
    // Direct: the journal line of a write is on disk before the send returns.
    m_connections << connect(&m_host.lon(), &LonSimulator::recorded, this, &CalibrationSession::onBusRecord,
                             Qt::DirectConnection);
    m_connections << connect(&m_host.journal(), &ModuleJournal::recorded, this, &CalibrationSession::onModuleEvent);
}

void CalibrationSession::detach()
{
    if (!m_attached)
        return;
    if (isOpen())
        close();
    for (QMetaObject::Connection const& connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_attached = false;
}

SessionRecord CalibrationSession::record() const
{
    SessionRecord record = m_record;
    if (record.isOpen())
        record.asLeft = valuesNow();
    return record;
}

QString CalibrationSession::exportText() const
{
    if (m_host.module() == nullptr)
        return QString();
    QDomDocument document;
    m_host.module()->writeAllCalibrationValuesToDom(document);
    return document.toString(2);
}

QMap<int, QString> CalibrationSession::parseExport(QString const& text)
{
    QMap<int, QString> values;
    QString error;
    if (!text.isEmpty())
        CalibrationDiff::parse(text, QStringLiteral("the module's export"), &values, &error);
    return values;
}

QMap<int, QString> CalibrationSession::valuesNow() const
{
    return parseExport(exportText());
}

QJsonObject CalibrationSession::valuesObject(QMap<int, QString> const& values)
{
    QJsonObject object;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.insert(keyOf(it.key()), it.value());
    return object;
}

QString CalibrationSession::newJournalFile() const
{
    QFileInfo const memory(m_host.instrumentFile());
    QString const stem = QStringLiteral("%1/%2-session-%3")
                             .arg(memory.absolutePath(), memory.completeBaseName(),
                                  m_record.started.toString(QStringLiteral("yyyyMMdd-hhmmss")));
    QString path = stem + QStringLiteral(".jsonl");
    for (int number = 2; QFileInfo::exists(path); ++number)
        path = QStringLiteral("%1-%2.jsonl").arg(stem).arg(number);
    return path;
}

void CalibrationSession::journal(QString const& kind, QString const& text, QJsonObject fields)
{
    SessionRecord::Entry const entry{QDateTime::currentDateTime(), kind, text};
    m_record.journal.append(entry);

    fields.insert(QStringLiteral("time"), entry.time.toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("kind"), kind);
    fields.insert(QStringLiteral("text"), text);
    QByteArray const line = QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n';
    QString const cause = AppendFile::appendLine(m_record.journalFile, line);
    if (!cause.isEmpty() && !m_journalBroken) {
        m_journalBroken = true;
        emit journalFailed(
            QStringLiteral("cannot write the session journal %1: %2").arg(m_record.journalFile, cause));
    } else if (cause.isEmpty()) {
        m_journalBroken = false;
    }
    emit journalled(entry);
}

void CalibrationSession::open()
{
    m_record = SessionRecord();
    m_record.identity = {m_host.profile().name, m_host.profile().description, m_host.profile().hardwareVersion,
                         m_host.serialNumber()};
    m_record.user = m_user;
    m_record.started = QDateTime::currentDateTime();
    m_record.journalFile = newJournalFile();
    m_journalBroken = false;
    m_asFoundText = exportText();
    m_record.asFound = parseExport(m_asFoundText);
    m_lastValues = m_record.asFound;
    m_memory.clear();
    for (unsigned short const id : m_host.profile().variables.keys())
        m_memory.insert(id, m_host.lon().memory(id));

    SessionRecord::Identity const& identity = m_record.identity;
    journal(QStringLiteral("start"),
            QStringLiteral("Session started by %1 on %2 (%3), %4 values found")
                .arg(m_user, identity.profile, identity.hardwareVersion)
                .arg(m_record.asFound.size()),
            QJsonObject{{QStringLiteral("user"), m_user},
                        {QStringLiteral("profile"), identity.profile},
                        {QStringLiteral("hardware"), identity.hardwareVersion},
                        {QStringLiteral("serial"), identity.serialNumber},
                        {QStringLiteral("memory"), m_host.instrumentFile()},
                        {QStringLiteral("asFound"), valuesObject(m_record.asFound)}});
    emit opened();
}

void CalibrationSession::close()
{
    m_record.asLeft = valuesNow();
    m_record.ended = QDateTime::currentDateTime();
    journal(QStringLiteral("end"),
            QStringLiteral("Session ended, %1 of %2 values changed")
                .arg(CalibrationDiff::changedKeys(m_record.asFound, m_record.asLeft).size())
                .arg(m_record.asLeft.size()),
            QJsonObject{{QStringLiteral("asLeft"), valuesObject(m_record.asLeft)}});
    emit closed();
}

void CalibrationSession::onServiceLogged(QString const& text)
{
    if (text == kSwitchedOn && !isOpen())
        open();
    if (!isOpen())
        return;
    journal(QStringLiteral("log"), text);
    watchLoadPrompt();
    // The module writes its nodes after this line: the session ends once it has.
    if (text == kSwitchedOff)
        QTimer::singleShot(0, this, [this] {
            if (isOpen())
                close();
        });
}

void CalibrationSession::onBusRecord(LonSimulator::Record const& record)
{
    // Sends come from the GUI thread; deliveries from the simulator's are not ours.
    if (record.kind != LonSimulator::Record::Send || QThread::currentThread() != thread() || !isOpen())
        return;
    // Called while the simulator holds its lock: nothing here may call it.
    unsigned short const pollId = LonSimulator::pollIdForWrite(record.nvId);
    bool const known = m_memory.contains(pollId);
    QByteArray const before = m_memory.value(pollId);
    bool const accepted = record.flag;
    QByteArray const after = accepted ? record.bytes : before;
    if (accepted)
        m_memory.insert(pollId, record.bytes);

    // The node's values are set before its write goes out: the export shows them now.
    QMap<int, QString> const now = valuesNow();
    QJsonArray keys;
    QStringList changes;
    for (int const parameter : CalibrationDiff::changedKeys(m_lastValues, now)) {
        QString const was = CalibrationDiff::valueOf(m_lastValues, parameter);
        QString const is = CalibrationDiff::valueOf(now, parameter);
        keys.append(QJsonObject{
            {QStringLiteral("key"), keyOf(parameter)}, {QStringLiteral("before"), was}, {QStringLiteral("after"), is}});
        changes << QStringLiteral("%1 %2 -> %3").arg(SessionRecord::keyLabel(parameter), was, is);
    }
    m_lastValues = now;

    QString text = QStringLiteral("node %1 NV 0x%2: %3 -> %4")
                       .arg(record.nvId >> 8)
                       .arg(record.nvId, 4, 16, QLatin1Char('0'))
                       .arg(known ? hex(before) : QStringLiteral("(unknown)"), hex(after));
    if (!accepted)
        text += QStringLiteral(" (refused, %1 not written)").arg(hex(record.bytes));
    if (!changes.isEmpty())
        text += QStringLiteral("; ") + changes.join(QStringLiteral(", "));
    journal(QStringLiteral("write"), text,
            QJsonObject{{QStringLiteral("node"), record.nvId >> 8},
                        {QStringLiteral("nv"), QStringLiteral("0x%1").arg(record.nvId, 4, 16, QLatin1Char('0'))},
                        {QStringLiteral("before"), bytesValue(before, known)},
                        {QStringLiteral("after"), bytesValue(after, known || accepted)},
                        {QStringLiteral("sent"), hex(record.bytes)},
                        {QStringLiteral("accepted"), accepted},
                        {QStringLiteral("keys"), keys}});
}

void CalibrationSession::onModuleEvent(QString const& line)
{
    if (isOpen())
        journal(QStringLiteral("module"), line);
}

void CalibrationSession::watchLoadPrompt()
{
    QWidget* mainWindow = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("MainWindow"))
            mainWindow = widget;
    }
    if (mainWindow == nullptr)
        return;
    for (DialogWindow* dialog : mainWindow->findChildren<DialogWindow*>()) {
        if (dialog->title() != StickLoad::title)
            continue;
        for (QAbstractButton* button : {dialog->acceptButton(), dialog->rejectButton()}) {
            if (button == nullptr || button->property("sessionWatched").toBool())
                continue;
            button->setProperty("sessionWatched", true);
            // Pressed comes before clicked: the prompt answered is still shown.
            connect(button, &QAbstractButton::pressed, this, [this, button] { onAnswer(button); });
        }
    }
}

void CalibrationSession::onAnswer(QAbstractButton* button)
{
    DialogWindow* dialog = nullptr;
    for (QWidget* parent = button->parentWidget(); dialog == nullptr && parent != nullptr; parent = parent->parentWidget())
        dialog = qobject_cast<DialogWindow*>(parent);
    if (!isOpen() || dialog == nullptr)
        return;
    journal(QStringLiteral("answer"), QStringLiteral("%1: %2").arg(button->text(), dialog->message()),
            QJsonObject{{QStringLiteral("answer"), button->text()}, {QStringLiteral("prompt"), dialog->message()}});
}

bool CalibrationSession::revertToAsFound(QWidget* mainWindow, QString* error, StickLoad::Progress const& progress)
{
    if (!isOpen()) {
        *error = QStringLiteral("no calibration session is open");
        return false;
    }
    QStringList differing;
    for (int const parameter : SessionRecord::notAsFound(m_record.asFound, valuesNow()))
        differing << SessionRecord::keyLabel(parameter);
    if (differing.isEmpty()) {
        journal(QStringLiteral("revert"), QStringLiteral("Revert to as-found: every value is as found"));
        return true;
    }
    journal(QStringLiteral("revert"),
            QStringLiteral("Revert to as-found: %1 values differ (%2)")
                .arg(differing.size())
                .arg(differing.join(QStringLiteral(", "))),
            QJsonObject{{QStringLiteral("keys"), QJsonArray::fromStringList(differing)}});

    QString summary;
    StickLoad::Outcome const outcome = StickLoad::run(m_host, mainWindow, m_asFoundText, true, &summary, nullptr, progress);
    QStringList still;
    for (LonSimulator::Record const& send : m_host.lon().records(LonSimulator::Record::Send)) {
        if (!send.flag)
            still << QStringLiteral("node %1 refused a write").arg(send.nvId >> 8);
    }
    QMap<int, QString> const after = valuesNow();
    for (int const parameter : SessionRecord::notAsFound(m_record.asFound, after))
        still << QStringLiteral("%1 holds %2, found %3")
                     .arg(SessionRecord::keyLabel(parameter), after.value(parameter), m_record.asFound.value(parameter));
    if (outcome != StickLoad::Outcome::Loaded || !still.isEmpty()) {
        *error = outcome != StickLoad::Outcome::Loaded
            ? QStringLiteral("the module did not load the as-found values (%1)")
                  .arg(summary.isEmpty() ? QStringLiteral("no dialog") : summary)
            : QStringLiteral("not every value is back: %1").arg(still.join(QStringLiteral("; ")));
        journal(QStringLiteral("revert"), QStringLiteral("Revert to as-found failed: %1").arg(*error));
        return false;
    }
    journal(QStringLiteral("revert"), QStringLiteral("Revert to as-found done, written back: %1").arg(differing.join(QStringLiteral(", "))));
    return true;
}
