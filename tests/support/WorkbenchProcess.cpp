#include "support/WorkbenchProcess.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// One workbench run; generous, since a loaded machine runs the suites in parallel.
constexpr int kRunTimeoutMs = 30000;

} // namespace

WorkbenchProcess::WorkbenchProcess(QString const& folder) : m_folder(folder) {}

QByteArray WorkbenchProcess::fileBytes(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WorkbenchProcess::pdfText(QString const& pdf)
{
    QString const pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return QString();
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    process.waitForFinished(kRunTimeoutMs);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString WorkbenchProcess::program()
{
    return QStringLiteral(LONCAL_WORKBENCH_PATH);
}

QString WorkbenchProcess::path(QString const& name) const
{
    return QDir(m_folder).filePath(name);
}

QStringList WorkbenchProcess::withFiles(QStringList const& arguments) const
{
    QStringList all;
    struct Default
    {
        char const* option;
        char const* file;
    };
    static Default const kDefaults[] = {
        {"--instrument", "instrument.json"}, {"--config", "config.ini"}, {"--log", "service.log"}};
    for (Default const& file : kDefaults) {
        if (!arguments.contains(QLatin1String(file.option)))
            all << QLatin1String(file.option) << path(QLatin1String(file.file));
    }
    return all + arguments;
}

QProcessEnvironment WorkbenchProcess::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // The workbench follows the system's language: the suites expect the English texts.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LANGUAGE"));
    QString const runtime = path(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

void WorkbenchProcess::start(QProcess& process, QStringList const& arguments) const
{
    process.setProcessEnvironment(environment());
    process.start(program(), withFiles(arguments));
}

WorkbenchProcess::Result WorkbenchProcess::finish(QProcess& process, QStringList const& arguments) const
{
    Result result;
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not finish: ") + arguments.join(QLatin1Char(' '));
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

WorkbenchProcess::Result WorkbenchProcess::run(QStringList const& arguments) const
{
    QProcess process;
    start(process, arguments);
    return finish(process, arguments);
}

WorkbenchProcess::Result WorkbenchProcess::runWithFileSizeLimit(int kilobytes, QStringList const& arguments) const
{
    // Ignored, the signal of an oversized write turns into a failed write (EFBIG).
    QString const script = QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(kilobytes);
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("/bin/bash"), QStringList{QStringLiteral("-c"), script, program()} + withFiles(arguments));
    return finish(process, arguments);
}
