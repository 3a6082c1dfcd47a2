#include "ConfigStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QStringList>
#include <QVariant>

#include "AtomicFile.h"

namespace {

enum Status
{
    StatusOk = 0,
    StatusNoTarget = 1,
    StatusMissing = 2,
    StatusNotANumber = 3
};

QString s_path;
bool s_available = true;
ConfigStore* s_store = nullptr;
std::function<void(QString const&)> s_failureHandler;

QString defaultPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty())
        folder = QDir::temp().filePath(QStringLiteral("loncal"));
    return QDir(folder).filePath(QStringLiteral("configuration.ini"));
}

QString effectivePath()
{
    return s_path.isEmpty() ? defaultPath() : s_path;
}

// Keys arrive as "/Group/Sub/Name"; the store keeps "Group/Sub/Name", the way
// QSettings names them.
QString normalizedKey(QString const& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// The file is the INI format QSettings reads; QSettings reads it here too.
// Writing is the store's own: QSettings' writer commits a cut-short file when
// the disk fills at the final flush, and syncs on its own from the event loop.

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

bool isPlainKeyCharacter(ushort u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-' ||
           u == '.';
}

// Sub-keys are separated by '\'; anything but letters, digits and "_-." is
// written as %XX or %UXXXX.
QByteArray escapeKey(QString const& key)
{
    QByteArray out;
    for (QChar const c : key) {
        ushort const u = c.unicode();
        if (u == '/')
            out += '\\';
        else if (isPlainKeyCharacter(u))
            out += static_cast<char>(u);
        else if (u < 0x100)
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += "%U" + QByteArray::number(u, 16).rightJustified(4, '0').toUpper();
    }
    return out;
}

// A value as one quoted string: the file stays ASCII, whatever it holds.
QByteArray escapeValue(QString const& value)
{
    static QRegularExpression const number(QStringLiteral("^-?[0-9]+$"));
    if (number.match(value).hasMatch())
        return value.toLatin1();
    // A leading '@' would mark a typed value.
    QString const text = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray out("\"");
    bool afterHexEscape = false;
    for (QChar const c : text) {
        ushort const u = c.unicode();
        bool hexEscape = false;
        if (u == '\\')
            out += "\\\\";
        else if (u == '"')
            out += "\\\"";
        else if (u == '\n')
            out += "\\n";
        else if (u == '\r')
            out += "\\r";
        else if (u == '\t')
            out += "\\t";
        // A hex digit right after a \x escape would be read as part of it.
        else if (u < 0x20 || u >= 0x7F || (afterHexEscape && isHexDigit(c)))
            hexEscape = true;
        else
            out += static_cast<char>(u);
        if (hexEscape)
            out += "\\x" + QByteArray::number(u, 16);
        afterHexEscape = hexEscape;
    }
    return out + '"';
}

QByteArray serializeIni(QMap<QString, QString> const& values)
{
    // Keys without a group live in [General]; a group that is called so is written "%General".
    QMap<QString, QList<QPair<QString, QString>>> sections;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        int const slash = it.key().indexOf(QLatin1Char('/'));
        QString const section = slash < 0 ? QString() : it.key().left(slash);
        QString const key = slash < 0 ? it.key() : it.key().mid(slash + 1);
        sections[section].append({key, it.value()});
    }
    QByteArray out;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        if (!out.isEmpty())
            out += '\n';
        QByteArray const name = it.key().isEmpty() ? QByteArrayLiteral("General")
                                : it.key() == QLatin1String("General") ? QByteArrayLiteral("%General")
                                                                        : escapeKey(it.key());
        out += '[' + name + "]\n";
        for (auto const& entry : it.value())
            out += escapeKey(entry.first) + '=' + escapeValue(entry.second) + '\n';
    }
    return out;
}

// Damage that QSettings would pass over silently: the file was cut short or
// written by something else. Lines carry on after a trailing backslash or
// inside quotes, as QSettings reads them.
QString damage(QByteArray const& data)
{
    if (data.contains('\0'))
        return QStringLiteral("it holds NUL bytes");
    bool inQuotes = false;
    bool backslash = false;
    int number = 0;
    QByteArray const text = data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data;
    for (QByteArray const& raw : text.split('\n')) {
        ++number;
        QByteArray const line = raw.trimmed();
        bool const continuation = inQuotes || backslash;
        backslash = false;
        for (int i = 0; i < line.size(); ++i) {
            if (line.at(i) == '\\') {
                backslash = !inQuotes && i == line.size() - 1;
                ++i;
            } else if (line.at(i) == '"') {
                inQuotes = !inQuotes;
            }
        }
        if (continuation || line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') ? !line.contains(']') : !line.contains('='))
            return QStringLiteral("line %1 is neither a [section] nor a key=value").arg(number);
    }
    return QString();
}

// Empty on success, else the cause.
QString parseIni(QString const& path, QByteArray const& data, QMap<QString, QString>* values)
{
    QString const damaged = damage(data);
    if (!damaged.isEmpty())
        return damaged;
    // QSettings keeps files it parsed by name, size and time, which a rewrite
    // within one clock tick does not change: a copy under a new name is read afresh.
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("loncal-config-XXXXXX.ini")));
    QString source = path;
    if (copy.open() && copy.write(data) == data.size() && copy.flush())
        source = copy.fileName();
    QSettings settings(source, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("it is not in INI format");
    for (QString const& key : settings.allKeys()) {
        QVariant const value = settings.value(key);
        values->insert(key, value.type() == QVariant::StringList ? value.toStringList().join(QLatin1Char(','))
                                                                : value.toString());
    }
    return QString();
}

} // namespace

ConfigStore::ConfigStore()
{
    s_store = this;
    load();
}

// A host that ends without a last save() still keeps what was written. The
// failure handler may belong to objects already gone, so only a warning.
ConfigStore::~ConfigStore()
{
    if (m_dirty) {
        QString const message = saveFile(false);
        if (!message.isEmpty())
            qWarning("%s", qPrintable(message));
    }
    s_store = nullptr;
}

void ConfigStore::load()
{
    m_values.clear();
    m_dirty = false;
    m_saveFailed = false;
    m_loadFailed = false;
    m_error.clear();

    QString const path = effectivePath();
    QFileInfo const info(path);
    if (!info.exists())
        return; // a new store
    QString cause;
    if (info.isDir()) {
        cause = QStringLiteral("it is a folder");
    } else if (!info.isFile()) {
        cause = QStringLiteral("it is not a regular file");
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            cause = file.errorString();
        } else {
            QByteArray const data = file.readAll();
            cause = file.error() != QFileDevice::NoError ? file.errorString() : parseIni(path, data, &m_values);
        }
    }
    if (cause.isEmpty())
        return;
    m_values.clear();
    m_loadFailed = true;
    report(QStringLiteral("cannot read the configuration file %1: %2; the configuration starts empty and the file is "
                          "left as it is")
               .arg(path, cause));
}

int ConfigStore::readInt(QString const& key, int* value) const
{
    if (value == nullptr)
        return StatusNoTarget;
    auto const found = m_values.constFind(normalizedKey(key));
    if (found == m_values.cend())
        return StatusMissing;
    bool ok = false;
    int const read = found->toInt(&ok);
    if (!ok)
        return StatusNotANumber;
    *value = read;
    return StatusOk;
}

int ConfigStore::readString(QString const& key, QString* value) const
{
    if (value == nullptr)
        return StatusNoTarget;
    auto const found = m_values.constFind(normalizedKey(key));
    if (found == m_values.cend())
        return StatusMissing;
    *value = *found;
    return StatusOk;
}

void ConfigStore::write(QString const& key, QString const& text)
{
    QString const name = normalizedKey(key);
    if (name.isEmpty())
        return;
    auto const found = m_values.constFind(name);
    // The module saves after every send: an unchanged value costs no write.
    if (found != m_values.cend() && *found == text)
        return;
    m_values.insert(name, text);
    m_dirty = true;
}

void ConfigStore::writeInt(QString const& key, int value)
{
    write(key, QString::number(value));
}

void ConfigStore::writeString(QString const& key, QString const& value)
{
    write(key, value);
}

void ConfigStore::save()
{
    if (!m_dirty)
        return;
    QString const message = saveFile(true);
    if (!message.isEmpty()) {
        m_saveFailed = true;
        report(message);
        return;
    }
    m_dirty = false;
    m_saveFailed = false;
    m_loadFailed = false;
    m_error.clear();
}

QString ConfigStore::saveFile(bool makeFolder)
{
    QString const path = effectivePath();
    QFileInfo const info(path);
    // A file that could not be read may still hold values a person can rescue.
    if (m_loadFailed && (info.exists() || info.isSymLink())) {
        return QStringLiteral("configuration not saved: %1 could not be read when it was loaded and is kept as it is; "
                              "move it away to save a new one")
            .arg(path);
    }
    // A folder that cannot be made is named by the write below.
    if (makeFolder)
        QDir().mkpath(info.absolutePath());
    QString error;
    if (!AtomicFile::write(path, serializeIni(m_values), &error))
        return QStringLiteral("configuration not saved: %1").arg(error);
    return QString();
}

void ConfigStore::report(QString const& message)
{
    m_error = message;
    // A copy: the handler may replace itself.
    std::function<void(QString const&)> const handler = s_failureHandler;
    if (handler)
        handler(message);
}

void ConfigStore::setFailureHandler(std::function<void(QString const& message)> handler)
{
    s_failureHandler = std::move(handler);
}

void ConfigStore::setFilePath(QString const& path)
{
    // Written values of the old file are kept in that file, not carried over;
    // a folder removed meanwhile (a test's temporary one) is not made again.
    if (s_store != nullptr && s_store->m_dirty) {
        QString const message = s_store->saveFile(false);
        if (!message.isEmpty())
            s_store->report(message);
    }
    s_path = path;
    if (s_store != nullptr)
        s_store->load();
}

QString ConfigStore::filePath()
{
    return effectivePath();
}

void ConfigStore::setAvailable(bool available)
{
    s_available = available;
}

ConfigStore* ConfigStore::instance()
{
    static ConfigStore store;
    return &store;
}

ConfigStore* getConfig()
{
    return s_available ? ConfigStore::instance() : nullptr;
}
