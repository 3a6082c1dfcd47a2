#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

#include "app/SessionRecord.h"
#include "app/StickLoad.h"
#include "sim/LonSimulator.h"

class HostEnvironment;
class QAbstractButton;
class QWidget;

// A calibration session, built around the module from what it exports and
// what the bus carries: it opens when calibration mode is switched on, with
// the module's export as the values found, and closes when it is switched off
// (or the workbench stops), with the export as the values left. In between it
// journals every write to a node (bytes before and after, and the export keys
// whose values changed with it), every service log line, what the stick
// module saw and every answer to the load prompts. The journal is a file of
// JSON lines beside the node memory, each line synced as it happens.
class CalibrationSession : public QObject
{
    Q_OBJECT

public:
    explicit CalibrationSession(HostEnvironment& host, QObject* parent = nullptr);
    ~CalibrationSession() override;

    // Who is named in the journal and the report.
    void setUser(QString const& user) { m_user = user; }
    QString user() const { return m_user; }
    static QString defaultUser();

    // Follows the running module from now on; detach() stops that and closes an open session.
    void attach();
    void detach();

    bool isOpen() const { return m_record.isOpen(); }
    // Whether a session was opened since attach(), open or closed.
    bool hasSession() const { return m_record.started.isValid(); }
    // The latest session; while it is open its as-left values are the values now.
    SessionRecord record() const;
    // The values the module holds now, by parameter number.
    QMap<int, QString> valuesNow() const;

    // Writes the as-found values back through the module's own load path,
    // every differing value confirmed, and journals it. False with *error when
    // there is no open session, nothing differs or a node holds another value after.
    // progress sees the load dialog's lines as StickLoad tells them.
    bool revertToAsFound(QWidget* mainWindow, QString* error, StickLoad::Progress const& progress = nullptr);

signals:
    void opened();
    void closed();
    void journalled(SessionRecord::Entry const& entry);
    // The journal could not be written; the message names the file and the cause.
    void journalFailed(QString const& message);

private:
    void open();
    void close();
    void onServiceLogged(QString const& text);
    void onBusRecord(LonSimulator::Record const& record);
    void onModuleEvent(QString const& line);
    // Follows the answers to the module's load prompts.
    void watchLoadPrompt();
    void onAnswer(QAbstractButton* button);
    QString exportText() const;
    static QMap<int, QString> parseExport(QString const& text);
    static QJsonObject valuesObject(QMap<int, QString> const& values);
    // One journal line: kept in the record, appended to the file, announced.
    void journal(QString const& kind, QString const& text, QJsonObject fields = QJsonObject());
    QString newJournalFile() const;

    HostEnvironment& m_host;
    QString m_user;
    bool m_attached = false;
    SessionRecord m_record;
    QString m_asFoundText;
    // The node memory as the session saw it last, by poll identifier: the
    // bytes before a write, without asking the simulator mid-send.
    QHash<unsigned short, QByteArray> m_memory;
    // The export as the session saw it last: the keys a write changed.
    QMap<int, QString> m_lastValues;
    bool m_journalBroken = false;
    QList<QMetaObject::Connection> m_connections;
};
