#include "ConfigStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

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

// Keys arrive as "/Group/Sub/Name"; QSettings wants them without the leading slash.
QString settingsKey(QString const& key)
{
    int start = 0;
    while (start < key.size() && key.at(start) == QLatin1Char('/'))
        ++start;
    return key.mid(start);
}

} // namespace

ConfigStore::ConfigStore() : m_settings(new QSettings(effectivePath(), QSettings::IniFormat))
{
    s_store = this;
}

ConfigStore::~ConfigStore()
{
    s_store = nullptr;
    delete m_settings;
}

int ConfigStore::readInt(QString const& key, int* value) const
{
    if (value == nullptr)
        return StatusNoTarget;
    QString const name = settingsKey(key);
    if (name.isEmpty() || !m_settings->contains(name))
        return StatusMissing;
    bool ok = false;
    int const read = m_settings->value(name).toInt(&ok);
    if (!ok)
        return StatusNotANumber;
    *value = read;
    return StatusOk;
}

int ConfigStore::readString(QString const& key, QString* value) const
{
    if (value == nullptr)
        return StatusNoTarget;
    QString const name = settingsKey(key);
    if (name.isEmpty() || !m_settings->contains(name))
        return StatusMissing;
    QVariant const read = m_settings->value(name);
    // An INI line with commas reads back as a list; the store deals in plain texts.
    *value = read.type() == QVariant::StringList ? read.toStringList().join(QLatin1Char(',')) : read.toString();
    return StatusOk;
}

void ConfigStore::writeInt(QString const& key, int value)
{
    QString const name = settingsKey(key);
    if (!name.isEmpty())
        m_settings->setValue(name, value);
}

void ConfigStore::writeString(QString const& key, QString const& value)
{
    QString const name = settingsKey(key);
    if (!name.isEmpty())
        m_settings->setValue(name, value);
}

void ConfigStore::save()
{
    m_settings->sync();
}

void ConfigStore::setFilePath(QString const& path)
{
    s_path = path;
    if (s_store == nullptr)
        return;
    // Written values of the old file are kept in that file, not carried over.
    s_store->m_settings->sync();
    delete s_store->m_settings;
    s_store->m_settings = new QSettings(effectivePath(), QSettings::IniFormat);
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
