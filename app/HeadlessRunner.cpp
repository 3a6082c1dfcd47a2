#include "app/HeadlessRunner.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextStream>

#include "app/DialogDriver.h"
#include "app/HostEnvironment.h"
#include "app/StickLoad.h"
#include "app/StickModule.h"
#include "data/LonCalibrationTypes.h"
#include "host/AtomicFile.h"
#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/IPrint.h"
#include "host/MenuSegment.h"
#include "host/MenuStrip.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/StateMachine.h"
#include "module/ILonCalibration.h"

namespace {

// How long a service print may take from request to file.
constexpr int kPrintTimeoutMs = 10000;
// After a tap: the dialog polls its node and shows the answers.
constexpr int kDialogSettleMs = 300;

constexpr int kCalibrationPosition = 2;
// Menu titles as given on the command line; the module shows them translated.
QString const kInfo = QStringLiteral("Info");
QString const kVlf = QStringLiteral("VLF");
// The state machine's states around a set point: ready for HV, and back.
constexpr NVT_FU_STATE kPreparedState = 3;
constexpr NVT_FU_STATE kIdleState = 2;

// "Calibrate PSU" -> "Calibrate-PSU": a title that is safe as a file name.
QString fileNamePart(QString const& title)
{
    QString part = title;
    part.replace(QRegularExpression(QStringLiteral("[^\\p{L}\\p{N}._-]+")), QStringLiteral("-"));
    part.remove(QRegularExpression(QStringLiteral("^-+|-+$")));
    return part.isEmpty() ? QStringLiteral("dialog") : part;
}

// What the module shows for a source text it translates in the context.
QString shownText(char const* context, QString const& text)
{
    return QCoreApplication::translate(context, text.toUtf8().constData());
}

} // namespace

HeadlessRunner::HeadlessRunner(HostEnvironment* host, QWidget* mainWindow, MenuStrip* menu, QTextStream& out)
    : m_host(host)
    , m_mainWindow(mainWindow)
    , m_menu(menu)
    , m_out(out)
{
    if (m_host != nullptr) {
        m_journal = QObject::connect(
            &m_host->journal(), &ModuleJournal::recorded, [this](QString const& line) { m_out << line << '\n'; });
        m_session = QObject::connect(&m_host->session(), &CalibrationSession::opened, [this] {
            m_out << "calibration session opened, journal " << m_host->session().record().journalFile << '\n';
        });
    }
}

HeadlessRunner::~HeadlessRunner()
{
    QObject::disconnect(m_journal);
    QObject::disconnect(m_session);
}

void HeadlessRunner::listProfiles(QTextStream& out, QString const& serial)
{
    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        QStringList nodes;
        for (InstrumentProfile::Node const& node : profile.nodes)
            nodes << QString::number(node.number);
        out << profile.name << "  " << profile.description << "  " << profile.hardwareVersion;
        if (!serial.isEmpty())
            out << "  SN: " << serial;
        out << "  (nodes " << nodes.join(QLatin1Char(',')) << ")\n";
    }
    out.flush();
}

bool HeadlessRunner::fail(QString const& message)
{
    m_error = message;
    return false;
}

int HeadlessRunner::run(QList<CommandLine::Action> const& actions, bool confirmAll)
{
    bool ok = true;
    for (CommandLine::Action const& action : actions) {
        ok = runAction(action, confirmAll);
        m_out.flush();
        if (!ok)
            break;
    }
    // The instrument is left as it was found, also after a failure; a failure
    // on the way out is told after the one that ended the run.
    QString const first = m_error;
    if (!switchCalibrationOff()) {
        if (!ok && !first.isEmpty() && m_error != first)
            m_error = first + QStringLiteral("; then ") + m_error;
        ok = false;
    }
    m_out.flush();
    return ok ? Success : Failure;
}

bool HeadlessRunner::runAction(CommandLine::Action const& action, bool confirmAll)
{
    if (action.kind == CommandLine::Action::ListProfiles) {
        listProfiles(m_out, m_serial);
        return true;
    }
    if (m_host == nullptr || m_host->module() == nullptr)
        return fail(QStringLiteral("the module is not running"));

    bool ok = false;
    switch (action.kind) {
    case CommandLine::Action::Export:
        ok = exportTo(action.argument);
        break;
    case CommandLine::Action::Import:
        ok = importFrom(action.argument, confirmAll);
        break;
    case CommandLine::Action::LoadFromStick:
        // A name without a folder is a file on the stick.
        ok = importFrom(QFileInfo(action.argument).isAbsolute() || action.argument.contains(QLatin1Char('/'))
                ? action.argument
                : QDir(m_host->stick().directory()).filePath(action.argument),
            confirmAll, true);
        break;
    case CommandLine::Action::Set:
        ok = setValue(action.argument);
        break;
    case CommandLine::Action::Print:
        ok = printTo(action.argument);
        break;
    case CommandLine::Action::PrintInfo:
        ok = printInfo();
        break;
    case CommandLine::Action::VlfSetPoint:
        ok = vlfSetPoint(action.argument);
        break;
    case CommandLine::Action::Press:
        ok = pressButton(action.argument);
        break;
    case CommandLine::Action::Type:
        ok = typeNumber(action.argument);
        break;
    case CommandLine::Action::Revert:
        ok = revert();
        break;
    case CommandLine::Action::Screenshots:
        ok = screenshots(action.argument);
        break;
    case CommandLine::Action::ListProfiles:
        break;
    }
    // Whatever reached the nodes survives the run, even when a later step fails.
    if (!m_host->saveInstrument() && ok)
        return fail(m_host->errorString());
    return checkHostFiles() && ok;
}

bool HeadlessRunner::checkHostFiles()
{
    QStringList const failures = m_host->takeFileFailures();
    if (failures.isEmpty())
        return true;
    // The first failure of the action itself leads; the files say why after it.
    if (!m_error.isEmpty()) {
        m_error += QStringLiteral("; ") + failures.join(QStringLiteral("; "));
        return false;
    }
    return fail(failures.join(QStringLiteral("; ")));
}

bool HeadlessRunner::refreshValues()
{
    ILonCalibration* module = m_host->module();
    module->pollAllCalibrationValues(true);
    bool const answered = m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
    module->pollAllCalibrationValues(false);
    if (!answered)
        return fail(QStringLiteral("the instrument gave no answer within %1 s").arg(StickLoad::AnswerTimeoutMs / 1000));
    return checkAnswers();
}

bool HeadlessRunner::checkAnswers()
{
    // Values of a node that did not answer in full would be missing or zeros.
    QList<LonSimulator::PollOutcome> const missed = m_host->lon().missedPolls();
    m_host->lon().clearPollOutcomes();
    if (missed.isEmpty())
        return true;
    QStringList rows;
    for (LonSimulator::PollOutcome const& outcome : missed) {
        QString const id = QStringLiteral("0x%1 (node %2)")
                               .arg(outcome.nvId, 4, 16, QLatin1Char('0'))
                               .arg(outcome.nvId >> 8);
        if (outcome.kind == LonSimulator::PollOutcome::Short)
            rows << QStringLiteral("%1 answered %2 of %3 bytes").arg(id).arg(outcome.bytes).arg(outcome.expected);
        else
            rows << QStringLiteral("%1 did not answer").arg(id);
    }
    rows.removeDuplicates();
    return fail(QStringLiteral("the instrument did not answer in full: %1").arg(rows.join(QStringLiteral("; "))));
}

QString HeadlessRunner::exportDocument(int* count)
{
    QDomDocument document;
    m_host->module()->writeAllCalibrationValuesToDom(document);
    if (count != nullptr)
        *count = document.documentElement().elementsByTagName(QStringLiteral("value")).count();
    return document.toString(2);
}

bool HeadlessRunner::save(QString const& path, QByteArray const& bytes)
{
    QFileInfo const info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create the folder of %1").arg(path));
    QString error;
    if (!AtomicFile::write(path, bytes, &error))
        return fail(error);
    return true;
}

bool HeadlessRunner::exportTo(QString const& path)
{
    if (!refreshValues())
        return false;
    int count = 0;
    QString const text = exportDocument(&count);
    if (!save(path, text.toUtf8()))
        return false;
    m_out << "exported " << count << " values to " << path << '\n';
    return true;
}

bool HeadlessRunner::checkWrites()
{
    QStringList refused;
    for (LonSimulator::Record const& record : m_host->lon().records(LonSimulator::Record::Send)) {
        if (!record.flag)
            refused << QStringLiteral("0x%1 (node %2)").arg(record.nvId, 4, 16, QLatin1Char('0')).arg(record.nvId >> 8);
    }
    refused.removeDuplicates();
    if (refused.isEmpty())
        return true;
    return fail(QStringLiteral("the node did not take it: the write to %1 was refused").arg(refused.join(QStringLiteral(", "))));
}

StickLoad::Outcome HeadlessRunner::runImport(
    QString const& text, bool confirmAll, QString* summary, std::function<bool()> const& start)
{
    return StickLoad::run(*m_host, m_mainWindow, text, confirmAll, summary, start,
                          [this](QString const& line) { m_out << line << '\n'; });
}

bool HeadlessRunner::importFrom(QString const& path, bool confirmAll, bool fromInfo)
{
    QString text;
    QString error;
    if (!StickModule::readFile(path, &text, &error))
        return fail(error);
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("%1 is empty, not a calibration file").arg(path));
    // Every change is in the service log, or none is made.
    if (confirmAll && !m_host->checkServiceLog())
        return fail(m_host->errorString());
    if (!refreshValues() || (fromInfo && !switchCalibrationOn()))
        return false;

    QString summary;
    std::function<bool()> start;
    if (fromInfo)
        start = [this, &path] { return loadThroughInfo(path); };
    switch (runImport(text, confirmAll, &summary, start)) {
    case StickLoad::Outcome::NoDialog:
        if (!m_error.isEmpty())
            return false;
        return fail(QStringLiteral("%1 is not a calibration file (the module refused it)").arg(path));
    case StickLoad::Outcome::Invalid:
        return fail(QStringLiteral("%1: the module says \"%2\"").arg(path, StickLoad::invalidFile));
    case StickLoad::Outcome::NothingToDo:
        m_out << "nothing to load from " << path << '\n';
        return true;
    case StickLoad::Outcome::Loaded:
        break;
    }
    if (!checkWrites() || (confirmAll && !checkTaken(text)))
        return false;
    m_out << "loaded " << path << '\n';
    return true;
}

bool HeadlessRunner::checkTaken(QString const& text)
{
    if (!refreshValues())
        return false;
    QDomDocument wanted;
    QDomDocument held;
    wanted.setContent(text);
    held.setContent(exportDocument());
    QHash<QString, QString> current;
    for (QDomElement row = held.documentElement().firstChildElement(QStringLiteral("value")); !row.isNull();
         row = row.nextSiblingElement(QStringLiteral("value")))
        current.insert(row.attribute(QStringLiteral("key")), row.text());
    QStringList refused;
    for (QDomElement row = wanted.documentElement().firstChildElement(QStringLiteral("value")); !row.isNull();
         row = row.nextSiblingElement(QStringLiteral("value"))) {
        QString const key = row.attribute(QStringLiteral("key"));
        auto const value = current.constFind(key);
        if (value != current.constEnd() && value->toLongLong() != row.text().trimmed().toLongLong())
            refused << QStringLiteral("%1 = %2 (holds %3)").arg(key, row.text().trimmed(), *value);
    }
    if (!refused.isEmpty())
        return fail(QStringLiteral("the node did not take it: %1").arg(refused.join(QStringLiteral("; "))));
    return true;
}

bool HeadlessRunner::switchCalibrationOn()
{
    auto* toggle = m_menu != nullptr ? qobject_cast<MenuSegment*>(m_menu->segmentAt(kCalibrationPosition)) : nullptr;
    if (toggle == nullptr || !toggle->isToggle())
        return fail(QStringLiteral("the service menu has no calibration toggle"));
    if (toggle->toggleState() == ToggleOff) {
        toggle->tap();
        DialogDriver::settle(0);
        m_switchedCalibrationOn = toggle->toggleState() == ToggleOn;
    }
    if (toggle->toggleState() != ToggleOn)
        return fail(QStringLiteral("calibration mode did not switch on"));
    return true;
}

bool HeadlessRunner::switchCalibrationOff()
{
    if (!m_switchedCalibrationOn)
        return true;
    m_switchedCalibrationOn = false;
    auto* toggle = qobject_cast<MenuSegment*>(m_menu->segmentAt(kCalibrationPosition));
    if (toggle != nullptr && toggle->toggleState() == ToggleOn) {
        toggle->tap();
        DialogDriver::settle(0);
        m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
    }
    if (toggle == nullptr || toggle->toggleState() != ToggleOff)
        return fail(QStringLiteral("calibration mode did not switch off again"));
    if (!m_host->saveInstrument())
        return fail(m_host->errorString());
    return checkHostFiles();
}

bool HeadlessRunner::setValue(QString const& assignment)
{
    int const equals = assignment.indexOf(QLatin1Char('='));
    QString const key = assignment.left(equals).trimmed();
    QString const value = assignment.mid(equals + 1).trimmed();

    // Everything is checked before anything is sent.
    LonCalibrationTypes::CalibrationParameters const parameter =
        key.isEmpty() ? LonCalibrationTypes::CalParamNone : LonCalibrationTypes::calibrationParameterForKey(key);
    if (parameter == LonCalibrationTypes::CalParamNone)
        return fail(QStringLiteral("cannot set '%1': unknown key '%2'").arg(assignment, key));
    bool number = false;
    long long const wanted = value.toLongLong(&number, 10);
    if (!number)
        return fail(QStringLiteral("cannot set '%1': '%2' is not a whole number").arg(assignment, value));
    LonCalibrationTypes::FieldRange const range =
        LonCalibrationTypes::calibrationFieldRange(parameter, NVData::m_NetworkType);
    if (!LonCalibrationTypes::fitsField(parameter, NVData::m_NetworkType, wanted))
        return fail(QStringLiteral("cannot set '%1': out of its range %2 to %3, nothing written")
                        .arg(assignment)
                        .arg(range.minimum)
                        .arg(range.maximum));
    if (!m_host->checkServiceLog())
        return fail(m_host->errorString());

    if (!refreshValues() || !switchCalibrationOn())
        return false;

    // The module's own load path routes the value to its node, exactly as a
    // one-value file from a stick.
    QString summary;
    switch (runImport(oneValueDocument(key, QString::number(wanted)), true, &summary)) {
    case StickLoad::Outcome::NoDialog:
    case StickLoad::Outcome::Invalid:
        return fail(QStringLiteral("cannot set '%1': the module refused the value (%2)")
                        .arg(assignment, summary.isEmpty() ? QStringLiteral("no dialog") : summary));
    case StickLoad::Outcome::NothingToDo:
        if (summary.startsWith(QLatin1String("0 loaded")))
            return fail(QStringLiteral("'%1' is not held by this instrument (%2)").arg(key, m_host->profile().name));
        break;
    case StickLoad::Outcome::Loaded:
        break;
    }

    // A write the node refused must not pass as set.
    if (!checkWrites() || !refreshValues())
        return false;
    QString const stored = exportedValue(key);
    if (stored.isEmpty() || stored.toLongLong() != wanted)
        return fail(QStringLiteral("the node did not take it: %1 = %2 written, the node holds %3")
                        .arg(key)
                        .arg(wanted)
                        .arg(stored.isEmpty() ? QStringLiteral("nothing") : stored));
    m_out << "set " << key << " = " << stored << '\n';
    return true;
}

bool HeadlessRunner::revert()
{
    CalibrationSession& session = m_host->session();
    if (!session.isOpen())
        return fail(QStringLiteral("--revert: no calibration session is open; it opens with the first action that "
                                   "changes the instrument"));
    if (!m_host->checkServiceLog())
        return fail(m_host->errorString());
    QString error;
    if (!session.revertToAsFound(m_mainWindow, &error, [this](QString const& line) { m_out << line << '\n'; }))
        return fail(QStringLiteral("revert to as-found: %1").arg(error));
    if (!checkWrites() || !refreshValues())
        return false;
    // What the nodes hold now, read back, against the values found.
    QMap<int, QString> const found = session.record().asFound;
    QStringList differing;
    for (int const parameter : SessionRecord::notAsFound(found, session.valuesNow()))
        differing << SessionRecord::keyLabel(parameter);
    if (!differing.isEmpty())
        return fail(QStringLiteral("revert to as-found: the nodes hold other values for %1")
                        .arg(differing.join(QStringLiteral(", "))));
    m_out << "reverted to the " << found.size() << " values found\n";
    return true;
}

QString HeadlessRunner::oneValueDocument(QString const& key, QString const& value)
{
    QDomDocument document;
    QDomElement root = document.createElement(QStringLiteral("calibration"));
    document.appendChild(root);
    QDomElement element = document.createElement(QStringLiteral("value"));
    element.setAttribute(QStringLiteral("key"), key);
    element.appendChild(document.createTextNode(value));
    root.appendChild(element);
    return document.toString();
}

QString HeadlessRunner::exportedValue(QString const& key)
{
    QDomDocument document;
    document.setContent(exportDocument());
    for (QDomElement row = document.documentElement().firstChildElement(QStringLiteral("value")); !row.isNull();
         row = row.nextSiblingElement(QStringLiteral("value"))) {
        if (row.attribute(QStringLiteral("key")) == key)
            return row.text();
    }
    return QString();
}

bool HeadlessRunner::printTo(QString const& path)
{
    QFileInfo const target(path);
    if (target.isDir())
        return fail(QStringLiteral("%1 is a folder, not a file").arg(path));
    if (!refreshValues())
        return false;

    PrintService& print = m_host->print();
    print.setCurrentPrinterName(IPrint::pdfTarnel);
    bool printed = false;
    int result = 0;
    QMetaObject::Connection const connection
        = QObject::connect(&print, &PrintService::printed, [&printed, &result](QString const&, int printResult) {
              printed = true;
              result = printResult;
          });
    m_host->module()->slotServicePrint();
    QElapsedTimer clock;
    clock.start();
    while (!printed && clock.elapsed() < kPrintTimeoutMs)
        DialogDriver::settle(20);
    QObject::disconnect(connection);

    if (!printed)
        return fail(QStringLiteral("the module printed nothing within %1 s").arg(kPrintTimeoutMs / 1000));
    if (result != IPrint::ResultDone || print.lastFile().isEmpty())
        return fail(QStringLiteral("the print failed (result %1)").arg(result));
    QFile source(print.lastFile());
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read the printed file %1").arg(print.lastFile()));
    if (!save(path, source.readAll()))
        return false;
    m_out << "printed to " << path << '\n';
    return true;
}

bool HeadlessRunner::grab(QWidget* widget, QString const& path)
{
    DialogDriver::settle(0);
    QPixmap const image = widget->grab();
    if (image.isNull())
        return fail(QStringLiteral("cannot take a picture for %1").arg(path));
    AtomicFile file(path);
    if (!file.open())
        return fail(file.errorString());
    if (!image.save(file.device(), "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(path));
    if (!file.commit())
        return fail(file.errorString());
    m_out << "screenshot " << path << '\n';
    return true;
}

bool HeadlessRunner::screenshots(QString const& directory)
{
    QDir const folder(directory);
    if (!QDir().mkpath(directory))
        return fail(QStringLiteral("cannot create %1").arg(directory));
    if (m_menu == nullptr || m_mainWindow == nullptr)
        return fail(QStringLiteral("there is no window to take pictures of"));
    if (!refreshValues())
        return false;

    m_mainWindow->show();
    DialogDriver::settle(50);
    if (!grab(m_menu, folder.filePath(QStringLiteral("menu.png"))) || !switchCalibrationOn())
        return false;
    if (!grab(m_menu, folder.filePath(QStringLiteral("menu-calibration.png")))
        || !grab(m_mainWindow, folder.filePath(QStringLiteral("window.png"))))
        return false;

    DialogDriver driver(m_mainWindow);
    bool windowWithDialog = false;
    const QList<int> positions = m_menu->positions();
    for (int position : positions) {
        auto* segment = qobject_cast<MenuSegment*>(m_menu->segmentAt(position));
        if (segment == nullptr || segment->isToggle())
            continue;
        if (!segment->isEnabled()) {
            m_out << "position " << position << " (" << segment->title() << ") is disabled\n";
            continue;
        }
        QList<DialogWindow*> const before = driver.shownDialogs();
        segment->tap();
        DialogDriver::settle(kDialogSettleMs);
        m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
        DialogDriver::settle(kDialogSettleMs);

        QList<QPointer<DialogWindow>> opened;
        for (DialogWindow* dialog : driver.shownDialogs()) {
            if (!before.contains(dialog))
                opened.append(dialog);
        }
        if (opened.isEmpty()) {
            m_out << "position " << position << " (" << segment->title() << ") opened no dialog\n";
            continue;
        }
        DialogWindow* newest = opened.last();
        QString const name = QStringLiteral("%1-%2.png").arg(position).arg(fileNamePart(newest->title()));
        if (!grab(newest, folder.filePath(name)))
            return false;
        // The whole window once with a dialog in it, as the user sees it.
        if (!windowWithDialog) {
            windowWithDialog = true;
            if (!grab(m_mainWindow, folder.filePath(QStringLiteral("window-dialog.png"))))
                return false;
        }
        for (auto it = opened.crbegin(); it != opened.crend(); ++it)
            DialogDriver::dismiss(*it);
        DialogDriver::settle(0);
    }
    if (!grabStickChooser(folder.filePath(QStringLiteral("stick-chooser.png"))))
        return false;
    return grabOtherFlows(folder);
}

// The flows that need the other modules: a load from the stick (summary and
// first prompt, every value then skipped), a VLF set point reaching the DC
// module, and where a print went. A flow this instrument cannot show is
// said and passed over; it does not fail the pictures.
bool HeadlessRunner::grabOtherFlows(QDir const& folder)
{
    QString const kept = m_error;
    auto passOver = [this, &kept](QString const& what) {
        m_out << what << ": " << m_error << '\n';
        m_error = kept;
    };

    QFileInfoList const files = m_host->stick().calibrationFiles();
    if (files.isEmpty()) {
        m_out << "the stick holds no calibration file; no load pictures\n";
    } else if (!loadThroughInfo(files.first().absoluteFilePath())) {
        passOver(QStringLiteral("no load pictures"));
    } else {
        DialogDriver driver(m_mainWindow);
        QPointer<DialogWindow> load = driver.findShown(StickLoad::title);
        if (load && !grab(load, folder.filePath(QStringLiteral("stick-load-summary.png"))))
            return false;
        if (load && load->acceptButton() != nullptr
            && load->acceptButton()->text() == QCoreApplication::translate("Menu", "Load")) {
            DialogDriver::press(load->acceptButton());
            if (load && !load->isHidden() && !grab(load, folder.filePath(QStringLiteral("stick-load-prompt.png"))))
                return false;
            // Every value skipped: the pictures change nothing on the instrument.
            for (int prompt = 0; prompt < StickLoad::MaxPrompts && load && load->isVisible() && load->rejectButton() &&
                                 load->rejectButton()->text() == QLatin1String("Skip");
                 ++prompt)
                DialogDriver::press(load->rejectButton());
        }
        if (load && load->isVisible())
            DialogDriver::dismiss(load);
        // The closed dialog and its buttons go before the next flow opens a dialog.
        DialogDriver::settle(kDialogSettleMs);
    }

    auto* window = qobject_cast<QMainWindow*>(m_mainWindow);
    if (menuButton(kVlf) != nullptr) {
        // Once more after a pause: the dialogs of the load may still be going.
        bool setPoint = vlfSetPoint(QStringLiteral("Enable U-nom Gain"));
        if (!setPoint) {
            m_error = kept;
            DialogDriver::settle(kDialogSettleMs);
            setPoint = vlfSetPoint(QStringLiteral("Enable U-nom Gain"));
        }
        if (!setPoint)
            passOver(QStringLiteral("no DC set point picture"));
        else if (auto* dock = window != nullptr ? window->findChild<QWidget*>(QStringLiteral("otherModulesDock")) : nullptr)
            if (!grab(dock, folder.filePath(QStringLiteral("other-modules.png"))))
                return false;
    }

    if (!printInfo())
        passOver(QStringLiteral("no print picture"));
    else if (window != nullptr && !grab(window->statusBar(), folder.filePath(QStringLiteral("print-folder.png"))))
        return false;

    // The session these pictures were taken in, with what the run changed.
    if (auto* dock = window != nullptr ? window->findChild<QDockWidget*>(QStringLiteral("sessionDock")) : nullptr) {
        dock->raise();
        DialogDriver::settle(kDialogSettleMs);
        if (!grab(dock, folder.filePath(QStringLiteral("session.png"))))
            return false;
        if (auto* changedOnly = dock->findChild<QCheckBox*>(QStringLiteral("sessionChangedOnly"))) {
            changedOnly->setChecked(true);
            if (!grab(dock, folder.filePath(QStringLiteral("session-changed.png"))))
                return false;
            changedOnly->setChecked(false);
        }
    }
    return true;
}

MenuSegment* HeadlessRunner::menuButton(QString const& title) const
{
    MenuSegment* found = nullptr;
    for (int position : m_menu->positions()) {
        auto* segment = qobject_cast<MenuSegment*>(m_menu->segmentAt(position));
        // The host's menu may show the title as given or translated.
        if (segment != nullptr && !segment->isToggle()
            && (segment->title() == title || segment->title() == shownText("Menu", title)))
            found = segment;
    }
    return found;
}

// Opens Info and finds its "Load from USB-Stick" (*load null, and the dialog
// closed again, when it has none); false when Info did not open.
bool HeadlessRunner::openInfoLoadButton(QPointer<DialogWindow>& info, QAbstractButton** load)
{
    *load = nullptr;
    info = openFromMenu(kInfo);
    if (!info)
        return false;
    *load = info->findChild<QAbstractButton*>(QStringLiteral("Load"));
    if (*load == nullptr)
        DialogDriver::dismiss(info);
    return true;
}

bool HeadlessRunner::grabStickChooser(QString const& path)
{
    QPointer<DialogWindow> info;
    QAbstractButton* load = nullptr;
    if (!openInfoLoadButton(info, &load))
        return false;
    if (load == nullptr) {
        m_out << "the Info window has no \"Load from USB-Stick\"\n";
        return true;
    }
    DialogDriver::press(load);
    DialogDriver::dismiss(info);
    QPointer<QDialog> chooser = m_mainWindow->findChild<QDialog*>(QStringLiteral("stickChooser"));
    if (!chooser || chooser->isHidden())
        return fail(QStringLiteral("\"Load from USB-Stick\" opened no stick chooser"));
    bool const grabbed = grab(chooser, path);
    if (chooser)
        chooser->reject();
    DialogDriver::settle(0);
    return grabbed;
}

DialogWindow* HeadlessRunner::openFromMenu(QString const& title)
{
    if (m_menu == nullptr || m_mainWindow == nullptr) {
        fail(QStringLiteral("there is no window for the \"%1\" dialog").arg(title));
        return nullptr;
    }
    MenuSegment* segment = menuButton(title);
    if (segment == nullptr) {
        fail(QStringLiteral("the service menu of %1 has no \"%2\"").arg(m_host->profile().name, title));
        return nullptr;
    }
    if (!segment->isEnabled()) {
        fail(QStringLiteral("\"%1\" is disabled in the service menu").arg(title));
        return nullptr;
    }
    DialogDriver driver(m_mainWindow);
    QList<DialogWindow*> const before = driver.shownDialogs();
    segment->tap();
    DialogDriver::settle(kDialogSettleMs);
    m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
    DialogDriver::settle(kDialogSettleMs);
    DialogWindow* dialog = driver.findShown(shownText("Menu", title));
    if (dialog == nullptr || before.contains(dialog)) {
        fail(QStringLiteral("\"%1\" opened no dialog").arg(title));
        return nullptr;
    }
    return dialog;
}

bool HeadlessRunner::printInfo()
{
    if (!refreshValues())
        return false;
    PrintService& print = m_host->print();
    print.setCurrentPrinterName(IPrint::pdfTarnel);
    QPointer<DialogWindow> info = openFromMenu(kInfo);
    if (!info)
        return false;
    QAbstractButton* button = info->acceptButton();
    if (button == nullptr || !button->text().startsWith(QLatin1String("Print"))) {
        DialogDriver::dismiss(info);
        return fail(QStringLiteral("the Info window has no print button (service mode off?)"));
    }

    int const copiesBefore = m_host->system().handledFiles().size();
    bool printed = false;
    int result = 0;
    QMetaObject::Connection const connection
        = QObject::connect(&print, &PrintService::printed, [&printed, &result](QString const&, int printResult) {
              printed = true;
              result = printResult;
          });
    DialogDriver::press(button);
    QElapsedTimer clock;
    clock.start();
    while (!printed && clock.elapsed() < kPrintTimeoutMs)
        DialogDriver::settle(20);
    QObject::disconnect(connection);
    DialogDriver::dismiss(info);

    if (!printed)
        return fail(QStringLiteral("the module printed nothing within %1 s").arg(kPrintTimeoutMs / 1000));
    if (result != IPrint::ResultDone || print.lastFile().isEmpty())
        return fail(QStringLiteral("the print failed (result %1)").arg(result));
    m_out << "printed to " << print.lastFile() << '\n';
    // A copy that failed is a host file failure, reported after the action.
    if (m_host->system().handledFiles().size() == copiesBefore && m_host->system().failedFiles().isEmpty())
        return fail(QStringLiteral("the module handed the print to no stick"));
    return true;
}

bool HeadlessRunner::vlfSetPoint(QString const& switchLabel)
{
    if (!refreshValues() || !switchCalibrationOn())
        return false;
    // What the DC module needs before it takes a set point: its range up to
    // the adapter's level, HV ready and the instrument prepared.
    StateMachine& stateMachine = m_host->stateMachine();
    stateMachine.setVoltage(static_cast<unsigned short>(HWConfiguration::pruefzusatzHvLevel()));
    stateMachine.setHvReady(true);
    stateMachine.setState(kPreparedState);

    bool ok = false;
    QPointer<DialogWindow> dialog = openFromMenu(kVlf);
    if (dialog) {
        NumberEdit* toggle = nullptr;
        for (NumberEdit* edit : dialog->findChildren<NumberEdit*>()) {
            if (edit->isSwitch() && edit->labelText() == switchLabel)
                toggle = edit;
        }
        if (toggle != nullptr)
            toggle->enterNumber(1);
        if (toggle == nullptr || toggle->getNumber() != 1) {
            fail(QStringLiteral("the VLF dialog has no switch \"%1\" to turn on").arg(switchLabel));
        } else {
            DialogDriver::settle(0);
            int const setPointsBefore = m_host->journal().lines().filter(QStringLiteral("dc-callback: set")).size();
            QAbstractButton* uNom = dialog->rejectButton();
            if (uNom == nullptr) {
                fail(QStringLiteral("the VLF dialog shows no U-nom button"));
            } else if (!uNom->isEnabled()) {
                fail(QStringLiteral("the U-nom button is disabled: \"%1\"").arg(uNom->text()));
            } else {
                m_out << "U-nom button: " << uNom->text() << '\n';
                DialogDriver::press(uNom);
                // Above the present nominal voltage the module asks first.
                DialogDriver driver(m_mainWindow);
                if (DialogWindow* warning = driver.findShown(QCoreApplication::translate("Dialog", "Warning"))) {
                    m_out << warning->title() << ": " << warning->message() << '\n';
                    DialogDriver::press(warning->acceptButton());
                }
                int const setPoints = m_host->journal().lines().filter(QStringLiteral("dc-callback: set")).size();
                ok = setPoints > setPointsBefore || fail(QStringLiteral("the DC callback was given no set point"));
            }
        }
        DialogDriver::dismiss(dialog);
    }
    stateMachine.setHvReady(false);
    stateMachine.setState(kIdleState);
    stateMachine.setVoltage(0);
    return ok;
}

bool HeadlessRunner::loadThroughInfo(QString const& path)
{
    QPointer<DialogWindow> info;
    QAbstractButton* load = nullptr;
    if (!openInfoLoadButton(info, &load))
        return false;
    if (load == nullptr)
        return fail(QStringLiteral("the Info window has no \"Load from USB-Stick\""));
    StickModule& stick = m_host->stick();
    // The module asks the stick module, which is answered with the file a
    // person would choose in the window.
    QString refusal;
    bool asked = false;
    QMetaObject::Connection const connection
        = QObject::connect(&stick, &StickModule::loadRequested, [&stick, &path, &refusal, &asked] {
              asked = true;
              stick.importFile(path, &refusal);
          });
    DialogDriver::press(load);
    QObject::disconnect(connection);
    DialogDriver::dismiss(info);
    if (!asked)
        return fail(QStringLiteral("\"Load from USB-Stick\" did not ask the stick module"));
    if (!refusal.isEmpty())
        return fail(refusal);
    return true;
}

bool HeadlessRunner::pressButton(QString const& menuAndButton)
{
    QString const title = menuAndButton.section(QLatin1Char('/'), 0, 0);
    QString const text = menuAndButton.section(QLatin1Char('/'), 1);
    if (!refreshValues() || !switchCalibrationOn())
        return false;
    QPointer<DialogWindow> dialog = openFromMenu(title);
    if (!dialog)
        return false;
    QAbstractButton* button = nullptr;
    for (QAbstractButton* candidate : {dialog->acceptButton(), dialog->rejectButton()}) {
        // Named as in English; shown as given (untranslated) or translated.
        if (candidate != nullptr
            && (candidate->text() == text || candidate->text() == shownText("Dialog", text)
                || candidate->text() == shownText("Menu", text)))
            button = candidate;
    }
    bool const pressed = DialogDriver::press(button);
    m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
    DialogDriver::dismiss(dialog);
    if (!pressed)
        return fail(QStringLiteral("the \"%1\" dialog has no button \"%2\" to press").arg(title, text));
    m_out << "pressed " << title << '/' << text << '\n';
    return true;
}

bool HeadlessRunner::typeNumber(QString const& typing)
{
    QString const title = typing.section(QLatin1Char('/'), 0, 0);
    QString const rest = typing.section(QLatin1Char('/'), 1);
    QString const field = rest.section(QLatin1Char('='), 0, 0);
    bool number = false;
    qint64 const value = rest.section(QLatin1Char('='), 1).trimmed().toLongLong(&number);
    if (!number)
        return fail(QStringLiteral("--type %1: not a whole number").arg(typing));
    if (!m_host->checkServiceLog())
        return fail(m_host->errorString());
    if (!refreshValues() || !switchCalibrationOn())
        return false;
    QPointer<DialogWindow> dialog = openFromMenu(title);
    if (!dialog)
        return false;
    NumberEdit* edit = nullptr;
    for (NumberEdit* candidate : dialog->findChildren<NumberEdit*>()) {
        if (candidate->labelText() == field)
            edit = candidate;
    }
    bool ok = false;
    m_host->lon().clearRecords();
    if (edit == nullptr || !edit->isEnabled()) {
        fail(QStringLiteral("the \"%1\" dialog has no field \"%2\" a person can type into").arg(title, field));
    } else if (!edit->enterNumber(value)) {
        // What a person sees: the field flagged with its range, its value kept.
        fail(QStringLiteral("the field \"%1\" refused %2 (%3); it still shows %4")
                 .arg(field)
                 .arg(value)
                 .arg(edit->rangeText(), edit->shownText()));
    } else {
        // The node writes a moment after the last change.
        DialogDriver::settle(StickLoad::WriteSettleMs);
        m_host->lon().waitUntilIdle(StickLoad::AnswerTimeoutMs);
        if (edit->getNumber() != value)
            fail(QStringLiteral("the node did not take %1 for \"%2\": the field shows %3 again")
                     .arg(value)
                     .arg(field, edit->shownText()));
        else
            ok = checkWrites();
        if (ok)
            m_out << "typed " << field << " = " << edit->shownText() << '\n';
    }
    DialogDriver::dismiss(dialog);
    return ok;
}
