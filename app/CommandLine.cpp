#include "app/CommandLine.h"

#include <QTextStream>

namespace {

enum Target
{
    TargetHelp,
    TargetVersion,
    TargetLanguage,
    TargetHeadless,
    TargetProfile,
    TargetInstrument,
    TargetConfig,
    TargetLog,
    TargetPlugin,
    TargetFaults,
    TargetStick,
    TargetOutput,
    TargetSerial,
    TargetUser,
    TargetSessionReport,
    TargetConfirm,
    TargetListProfiles,
    TargetExport,
    TargetImport,
    TargetLoadFromStick,
    TargetSet,
    TargetPrint,
    TargetPrintInfo,
    TargetVlfSetPoint,
    TargetPress,
    TargetType,
    TargetRevert,
    TargetDiff,
    TargetScreenshots
};

struct OptionRow
{
    char const* name;
    char const* valueName; // null: the option takes no value
    Target target;
    char const* help;
};

constexpr OptionRow kOptions[] = {
    {"help", nullptr, TargetHelp, "Show this help and exit (also -h)."},
    {"version", nullptr, TargetVersion, "Show the program's version and exit."},
    {"language", "CODE", TargetLanguage,
        "Language of the module and the window, e.g. de; en shows the texts untranslated. Default: the system's."},
    {"list-profiles", nullptr, TargetListProfiles, "List the simulated instruments, one per line, name first."},
    {"profile", "NAME", TargetProfile, "The simulated instrument (default: the fullest general one)."},
    {"instrument", "FILE", TargetInstrument,
        "Node memory file (JSON); created from the profile when missing. Default: in the user's data folder."},
    {"config", "FILE", TargetConfig, "Configuration store file. Default: in the user's data folder."},
    {"log", "FILE", TargetLog, "Service log file. Default: in the user's data folder."},
    {"plugin", "FILE", TargetPlugin,
        "Plug-in file to load. Default: the one beside the program, else the installed one (see Files below)."},
    {"faults", "LIST", TargetFaults,
        "Faults of the simulated instrument, e.g. loss=0.5,short=0x1375,failwrites,latency=5,seed=3."},
    {"stick", "DIR", TargetStick,
        "Folder that plays the USB stick: calibration files to load, copies of PDF prints. Default: in the user's data "
        "folder."},
    {"output", "DIR", TargetOutput, "Folder every PDF print stays in. Default: in the user's data folder."},
    {"serial", "SN", TargetSerial, "Store the instrument's serial number in the configuration store before the start."},
    {"user", "NAME", TargetUser, "Who is named in the calibration session's journal and report. Default: the login name."},
    {"session-report", "FILE.pdf", TargetSessionReport,
        "After the run, the PDF report of its calibration session: identity, user, times, values as found and as "
        "left, the journal."},
    {"headless", nullptr, TargetHeadless,
        "Open no window; without actions, run the lifecycle once, print a summary and exit."},
    {"export", "FILE", TargetExport, "Poll every node and write the calibration document."},
    {"import", "FILE", TargetImport, "Load a calibration document through the module's load dialog (needs --confirm)."},
    {"load-from-stick", "FILE", TargetLoadFromStick,
        "As --import, but the way a person loads: Info, \"Load from USB-Stick\", FILE chosen on the stick."},
    {"confirm", "all|none", TargetConfirm, "Answer every load prompt with Confirm (all) or Skip (none)."},
    {"set", "KEY=VALUE", TargetSet, "Switch calibration on and write one value to its node (repeatable)."},
    {"print", "FILE.pdf", TargetPrint, "Save the service print as a PDF file."},
    {"print-info", nullptr, TargetPrintInfo,
        "Open Info and press its PDF print button: the PDF stays in the output folder, a copy goes on the stick."},
    {"vlf-unom", "SWITCH", TargetVlfSetPoint,
        "Bring HV up, open the VLF dialog, turn SWITCH on (e.g. \"Enable U-nom Gain\") and press its U-nom button."},
    {"press", "MENU/BUTTON", TargetPress,
        "Switch calibration on, open MENU's dialog and press its BUTTON, e.g. \"ISO/Start\"."},
    {"revert", nullptr, TargetRevert,
        "Write the values found when this run's calibration session opened back through the module's load path."},
    {"diff", "A.xml B.xml", TargetDiff,
        "Compare two calibration documents: every key that differs, in parameter order; status 0 same, 1 different, "
        "2 unreadable."},
    {"type", "MENU/FIELD=NUMBER", TargetType,
        "Switch calibration on, open MENU's dialog and type NUMBER into FIELD as a person would."},
    {"screenshots", "DIR", TargetScreenshots,
        "PNG images of the window, the service menu, every dialog of the instrument, the stick chooser and the "
        "Session panel."},
};

// Where the installed files are, for --help.
struct FileRow
{
    char const* place;
    char const* help;
};

constexpr FileRow kFiles[] = {
    {".", "a plug-in " LONCAL_PLUGIN_FILE " here comes first (the build folder)"},
    {LONCAL_PLUGIN_RELATIVE_DIR "/", "the installed plug-in " LONCAL_PLUGIN_FILE " and the host library liblonhost.so"},
    {LONCAL_TRANSLATIONS_RELATIVE_DIR "/", "loncal_CODE.qm, the translations --language loads"},
    {LONCAL_INSTALL_DOCDIR "/", "README.md, docs/, copyright"},
    {"~/.local/share/loncal-workbench/", "node memory, configuration, service log, stick and prints, unless given"},
};

struct ActionRow
{
    Target target;
    CommandLine::Action::Kind kind;
};

constexpr ActionRow kActions[] = {
    {TargetListProfiles, CommandLine::Action::ListProfiles},
    {TargetExport, CommandLine::Action::Export},
    {TargetImport, CommandLine::Action::Import},
    {TargetLoadFromStick, CommandLine::Action::LoadFromStick},
    {TargetSet, CommandLine::Action::Set},
    {TargetPrint, CommandLine::Action::Print},
    {TargetPrintInfo, CommandLine::Action::PrintInfo},
    {TargetVlfSetPoint, CommandLine::Action::VlfSetPoint},
    {TargetPress, CommandLine::Action::Press},
    {TargetType, CommandLine::Action::Type},
    {TargetRevert, CommandLine::Action::Revert},
    {TargetScreenshots, CommandLine::Action::Screenshots},
};

OptionRow const* findOption(QString const& name)
{
    for (OptionRow const& row : kOptions) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

} // namespace

bool CommandLine::parse(QStringList const& arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (argument == QLatin1String("-h"))
            argument = QStringLiteral("--help");
        if (!argument.startsWith(QLatin1String("--"))) {
            m_error = QStringLiteral("unexpected argument '%1' (see --help)").arg(argument);
            return false;
        }
        QString name = argument.mid(2);
        QString value;
        bool inlineValue = false;
        int const equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
            inlineValue = true;
        }
        OptionRow const* row = findOption(name);
        if (row == nullptr) {
            m_error = QStringLiteral("unknown option '--%1' (see --help)").arg(name);
            return false;
        }
        if (row->valueName == nullptr && inlineValue) {
            m_error = QStringLiteral("--%1 takes no value").arg(name);
            return false;
        }
        // The one option with two values.
        if (row->target == TargetDiff) {
            if (inlineValue || i + 2 >= arguments.size()) {
                m_error = QStringLiteral("--diff needs two files: --diff A.xml B.xml");
                return false;
            }
            m_diff = QStringList{arguments.at(i + 1), arguments.at(i + 2)};
            i += 2;
            continue;
        }
        if (row->valueName != nullptr && !inlineValue) {
            if (i + 1 >= arguments.size()) {
                m_error = QStringLiteral("--%1 needs %2").arg(name, QLatin1String(row->valueName));
                return false;
            }
            value = arguments.at(++i);
        }
        if (!apply(row->target, value))
            return false;
    }

    bool importing = false;
    for (Action const& action : qAsConst(m_actions))
        importing = importing || action.kind == Action::Import || action.kind == Action::LoadFromStick;
    if (importing && m_confirm.isEmpty()) {
        m_error = QStringLiteral("--import and --load-from-stick need --confirm all or --confirm none");
        return false;
    }
    if (!m_diff.isEmpty() && (!m_actions.isEmpty() || !m_sessionReport.isEmpty())) {
        m_error = QStringLiteral("--diff compares two files and runs no other action");
        return false;
    }
    if (!importing && !m_confirm.isEmpty()) {
        m_error = QStringLiteral("--confirm answers the prompts of a load, and none is given");
        return false;
    }
    return true;
}

bool CommandLine::apply(int option, QString const& value)
{
    auto const target = static_cast<Target>(option);
    if (target != TargetHelp && target != TargetVersion && target != TargetHeadless && target != TargetListProfiles && target != TargetPrintInfo
        && target != TargetRevert && value.isEmpty()) {
        m_error = QStringLiteral("an option was given an empty value (see --help)");
        return false;
    }
    switch (target) {
    case TargetHelp:
        m_help = true;
        return true;
    case TargetVersion:
        m_version = true;
        return true;
    case TargetLanguage:
        m_language = value;
        return true;
    case TargetHeadless:
        m_headless = true;
        return true;
    case TargetProfile:
        m_profile = value;
        return true;
    case TargetInstrument:
        m_instrument = value;
        return true;
    case TargetConfig:
        m_config = value;
        return true;
    case TargetLog:
        m_log = value;
        return true;
    case TargetPlugin:
        m_plugin = value;
        return true;
    case TargetFaults:
        m_faults = value;
        return true;
    case TargetStick:
        m_stick = value;
        return true;
    case TargetOutput:
        m_output = value;
        return true;
    case TargetSerial:
        m_serial = value;
        return true;
    case TargetUser:
        m_user = value;
        return true;
    case TargetSessionReport:
        m_sessionReport = value;
        return true;
    case TargetConfirm:
        if (value != QLatin1String("all") && value != QLatin1String("none")) {
            m_error = QStringLiteral("--confirm takes 'all' or 'none', not '%1'").arg(value);
            return false;
        }
        m_confirm = value;
        return true;
    case TargetSet:
        if (value.indexOf(QLatin1Char('=')) <= 0) {
            m_error = QStringLiteral("--set takes KEY=VALUE, not '%1'").arg(value);
            return false;
        }
        break;
    case TargetPress:
        if (value.indexOf(QLatin1Char('/')) <= 0 || value.endsWith(QLatin1Char('/'))) {
            m_error = QStringLiteral("--press takes MENU/BUTTON, not '%1'").arg(value);
            return false;
        }
        break;
    case TargetType:
        if (value.indexOf(QLatin1Char('/')) <= 0 || value.indexOf(QLatin1Char('=')) <= value.indexOf(QLatin1Char('/')) + 1) {
            m_error = QStringLiteral("--type takes MENU/FIELD=NUMBER, not '%1'").arg(value);
            return false;
        }
        break;
    default:
        break;
    }
    for (ActionRow const& row : kActions) {
        if (row.target == target) {
            m_actions.append({row.kind, value});
            return true;
        }
    }
    return true;
}

bool CommandLine::needsHost() const
{
    if (m_actions.isEmpty())
        return true;
    for (Action const& action : m_actions) {
        if (action.kind != Action::ListProfiles)
            return true;
    }
    return false;
}

QString CommandLine::helpText()
{
    QString text;
    QTextStream stream(&text);
    stream << "Usage: loncal-workbench [options]\n"
              "Runs the LON calibration plug-in on a simulated instrument. With a display and no\n"
              "action it opens the workbench window; actions run headless, in the order given,\n"
              "and the program exits (status 0 on success, 1 on failure, 2 on a bad command line).\n\n";
    for (OptionRow const& row : kOptions) {
        QString left = QStringLiteral("--") + QLatin1String(row.name);
        if (row.valueName != nullptr)
            left += QLatin1Char(' ') + QLatin1String(row.valueName);
        stream << "  " << left.leftJustified(26) << ' ' << row.help << '\n';
    }
    stream << "\nFiles (relative paths start at the program's folder):\n";
    for (FileRow const& row : kFiles)
        stream << "  " << QString::fromLatin1(row.place).leftJustified(34) << ' ' << row.help << '\n';
    stream.flush();
    return text;
}
