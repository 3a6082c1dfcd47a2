#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The workbench's command line. Actions keep the order they were given in,
// which QCommandLineParser cannot tell, so the arguments are read here from a
// table of options.
class CommandLine
{
public:
    struct Action
    {
        enum Kind
        {
            ListProfiles,
            Export,
            Import,
            LoadFromStick,
            Set,
            Print,
            PrintInfo,
            VlfSetPoint,
            Press,
            Type,
            Revert,
            Screenshots
        };
        Kind kind;
        QString argument;
    };

    // The arguments without the program name; false with errorString() on bad input.
    bool parse(QStringList const& arguments);
    QString errorString() const { return m_error; }

    bool helpRequested() const { return m_help; }
    bool versionRequested() const { return m_version; }
    // The --language code; empty: the system's.
    QString language() const { return m_language; }
    // Headless because asked for or because an action was given.
    bool headless() const
    {
        return m_headless || !m_actions.isEmpty() || !m_diff.isEmpty() || !m_sessionReport.isEmpty();
    }
    // Whether anything needs the plug-in and the simulated instrument.
    bool needsHost() const;

    QString profile() const { return m_profile; }
    QString instrumentFile() const { return m_instrument; }
    QString configFile() const { return m_config; }
    QString logFile() const { return m_log; }
    QString pluginFile() const { return m_plugin; }
    QString faults() const { return m_faults; }
    // The two documents of --diff; empty without it.
    QStringList diffFiles() const { return m_diff; }
    QString stickDirectory() const { return m_stick; }
    QString outputDirectory() const { return m_output; }
    QString serialNumber() const { return m_serial; }
    // Empty: the login name.
    QString user() const { return m_user; }
    // The PDF of the run's calibration session; empty without --session-report.
    QString sessionReport() const { return m_sessionReport; }
    bool confirmAll() const { return m_confirm == QLatin1String("all"); }
    QList<Action> const& actions() const { return m_actions; }

    static QString helpText();

private:
    bool apply(int option, QString const& value);

    QString m_error;
    bool m_help = false;
    bool m_version = false;
    QString m_language;
    bool m_headless = false;
    QString m_profile;
    QString m_instrument;
    QString m_config;
    QString m_log;
    QString m_plugin;
    QString m_faults;
    QStringList m_diff;
    QString m_stick;
    QString m_output;
    QString m_serial;
    QString m_user;
    QString m_sessionReport;
    QString m_confirm;
    QList<Action> m_actions;
};
