// loncal-workbench: runs the calibration plug-in on the stand-in host and a
// simulated instrument, in a window or headless from the command line.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <csignal>

#include "app/CalibrationDiff.h"
#include "app/CommandLine.h"
#include "app/HeadlessRunner.h"
#include "app/HostEnvironment.h"
#include "app/SessionReport.h"
#include "app/WorkbenchWindow.h"
#include "host/ModalWidget.h"
#include "sim/InstrumentProfile.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kDialogFontPoints = 9;
constexpr int kSignalPollMs = 200;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(QString const& message, int status = HeadlessRunner::Failure)
{
    out().flush();
    QTextStream(stderr) << "loncal-workbench: " << message << '\n';
    return status;
}

QtMessageHandler g_defaultHandler = nullptr;

// The offscreen platform complains about every dock widget; the rest passes.
void filterMessages(QtMsgType type, QMessageLogContext const& context, QString const& message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    // Qt falls back to a folder of its own; nothing here needs the runtime folder.
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (g_defaultHandler != nullptr)
        g_defaultHandler(type, context, message);
}

std::atomic<bool> g_stopRequested{false};

void requestStop(int)
{
    g_stopRequested = true;
}

// Ctrl+C or a kill ends the window like closing it: the module shuts down and
// the node memory is kept.
void quitOnSignals(QObject* context)
{
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    poll->start(kSignalPollMs);
}

// Installed beside bin/ first, so a build folder never shadows the package.
QStringList translationFolders()
{
    QStringList folders{QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(LONCAL_TRANSLATIONS_RELATIVE_DIR))};
#ifdef LONCAL_TRANSLATIONS_BUILD_DIR
    folders << QStringLiteral(LONCAL_TRANSLATIONS_BUILD_DIR);
#endif
    return folders;
}

QString knownLanguages(QStringList const& folders)
{
    QStringList codes{QStringLiteral("en")};
    for (QString const& folder : folders) {
        for (QString const& file : QDir(folder).entryList({QStringLiteral("loncal_*.qm")}, QDir::Files)) {
            QString const code = file.mid(7, file.size() - 10);
            if (!codes.contains(code))
                codes << code;
        }
    }
    codes.sort();
    return codes.join(QStringLiteral(", "));
}

// The module's texts and the window's in the language asked for (empty: the
// system's), loaded before the module starts so its first dialog is right.
// Only a language asked for by name may fail; English is the source itself.
bool installTranslations(QString const& code, QString* error)
{
    bool const asked = !code.isEmpty();
    QLocale const locale = asked ? QLocale(code) : QLocale::system();
    if (asked && locale.language() == QLocale::C) {
        *error = QStringLiteral("--language: '%1' is not a language code (known: %2)")
                     .arg(code, knownLanguages(translationFolders()));
        return false;
    }
    QLocale::setDefault(locale);
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return true;

    auto* texts = new QTranslator(QCoreApplication::instance());
    bool found = false;
    for (QString const& folder : translationFolders()) {
        found = texts->load(locale, QStringLiteral("loncal"), QStringLiteral("_"), folder);
        if (found)
            break;
    }
    if (!found) {
        delete texts;
        if (asked)
            *error = QStringLiteral("--language: no translation for '%1' (known: %2)")
                         .arg(code, knownLanguages(translationFolders()));
        return !asked;
    }
    QCoreApplication::installTranslator(texts);
    // Qt's own dialogs (file chooser, message boxes) follow where Qt has the language.
    auto* qtTexts = new QTranslator(QCoreApplication::instance());
    if (qtTexts->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
    return true;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString knownProfiles()
{
    QStringList names;
    for (InstrumentProfile const& profile : InstrumentProfile::all())
        names << profile.name;
    return names.join(QStringLiteral(", "));
}

// In the window a start-up failure is shown as well: the program may have been
// started from a menu, where nobody reads standard error.
void showStartFailure(QString const& message)
{
    QMessageBox::critical(nullptr, QStringLiteral("loncal-workbench"),
        QCoreApplication::translate("WorkbenchWindow", "The workbench cannot start:\n%1").arg(message));
}

int startFailure(QString const& message, bool headless)
{
    int const status = fail(message);
    if (!headless)
        showStartFailure(message);
    return status;
}

int runHost(CommandLine const& line, bool headless)
{
    QString const name = line.profile().isEmpty() ? InstrumentProfile::defaultName() : line.profile();
    InstrumentProfile const* profile = InstrumentProfile::find(name);
    if (profile == nullptr)
        return fail(QStringLiteral("unknown profile '%1' (known: %2)").arg(name, knownProfiles()), kUsageError);

    if (!line.faults().isEmpty()) {
        LonSimulator::Faults faults;
        QString error;
        if (!LonSimulator::Faults::parse(line.faults(), &faults, &error))
            return fail(QStringLiteral("--faults: %1").arg(error), kUsageError);
    }

    HostEnvironment host(*profile);
    HostEnvironment::Settings settings;
    settings.pluginFile = line.pluginFile();
    settings.instrumentFile = line.instrumentFile();
    settings.configFile = line.configFile();
    settings.logFile = line.logFile();
    settings.faults = line.faults();
    settings.stickDirectory = line.stickDirectory();
    settings.outputDirectory = line.outputDirectory();
    settings.serialNumber = line.serialNumber();
    settings.saveAfterWrites = !headless;
    settings.user = line.user();
    if (!host.setUp(settings))
        return startFailure(host.errorString(), headless);

    // Nobody sits at a headless bench: a modal question is answered "cancel".
    if (headless)
        ModalWidget::setAnswerer([](ModalWidget*) { return 1; });

    WorkbenchWindow window(host);
    window.show();
    int status = HeadlessRunner::Success;
    QString error;
    if (!host.startModule(window.menuStrip())) {
        status = HeadlessRunner::Failure;
        error = host.errorString();
        if (!headless)
            showStartFailure(error);
    } else if (!headless) {
        host.guardWritesByServiceLog();
        for (QString const& message : host.takeFileFailures())
            window.showFileFailure(message);
        for (QString const& row : host.lifecycleReport())
            out() << row << '\n';
        out().flush();
        quitOnSignals(&window);
        status = QApplication::exec();
    } else if (line.actions().isEmpty()) {
        for (QString const& row : host.lifecycleReport())
            out() << row << '\n';
    } else {
        HeadlessRunner runner(&host, &window, window.menuStrip(), out());
        runner.setSerialNumber(line.serialNumber());
        status = runner.run(line.actions(), line.confirmAll());
        error = runner.errorString();
    }
    // The node memory must be on disk before the run may count as done.
    if (!host.stop() && status == HeadlessRunner::Success) {
        status = HeadlessRunner::Failure;
        error = host.errorString();
    }
    // Also after a failed run: what reached the nodes is in its session.
    if (!line.sessionReport().isEmpty()) {
        QString reportError;
        if (!host.session().hasSession())
            reportError = QStringLiteral("--session-report: no calibration session in this run; it opens with the "
                                         "first action that changes the instrument");
        else if (SessionReport::write(host.session().record(), line.sessionReport(), &reportError))
            out() << "session report " << line.sessionReport() << '\n';
        if (!reportError.isEmpty()) {
            error = status == HeadlessRunner::Success ? reportError : error + QStringLiteral("; ") + reportError;
            status = HeadlessRunner::Failure;
        }
    }
    if (status != HeadlessRunner::Success)
        return fail(error.isEmpty() ? host.errorString() : error, status);
    out() << (headless && line.actions().isEmpty() ? "shut down\n" : "");
    out().flush();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line;
    if (!line.parse(arguments))
        return fail(line.errorString(), kUsageError);
    if (line.helpRequested()) {
        out() << CommandLine::helpText();
        return 0;
    }
    if (line.versionRequested()) {
        out() << "loncal-workbench " << LONCAL_VERSION << " (Qt " << qVersion() << ")\n";
        return 0;
    }

    // Actions run headless even where a display exists.
    bool const headless = line.headless() || !hasDisplay();
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_defaultHandler = qInstallMessageHandler(filterMessages);

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loncal-workbench"));
    // The module lays its dialogs out in fixed pixels for the instrument's
    // small screen font; a desktop's default font would cut their labels off.
    QFont font = QApplication::font();
    font.setPointSize(kDialogFontPoints);
    font.setStretch(QFont::SemiCondensed);
    QApplication::setFont(font);
    QString languageError;
    if (!installTranslations(line.language(), &languageError))
        return fail(languageError, kUsageError);

    if (!line.diffFiles().isEmpty()) {
        QString error;
        int const status = CalibrationDiff::compare(line.diffFiles().at(0), line.diffFiles().at(1), out(), &error);
        return status == CalibrationDiff::Unreadable ? fail(error, status) : status;
    }
    if (!line.needsHost()) {
        HeadlessRunner runner(nullptr, nullptr, nullptr, out());
        runner.setSerialNumber(line.serialNumber());
        return runner.run(line.actions(), line.confirmAll());
    }
    return runHost(line, headless);
}
