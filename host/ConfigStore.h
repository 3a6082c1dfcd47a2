#pragma once

#include <QString>

class QSettings;

// The instrument's configuration store: integer and text values under
// slash-path keys ("/Software/PSUMonitor/TrafoCorrectionFactor"), kept in a file.
class ConfigStore
{
public:
    // 0 on success; on failure *value is left as it was.
    int readInt(QString const& key, int* value) const;
    int readString(QString const& key, QString* value) const;
    void writeInt(QString const& key, int value);
    void writeString(QString const& key, QString const& value);
    void save();

    // Host and test set-up; the module never calls these.
    static void setFilePath(QString const& path);
    static QString filePath();
    static void setAvailable(bool available);
    static ConfigStore* instance();

private:
    ConfigStore();
    ~ConfigStore();
    QSettings* m_settings = nullptr;
};

// The store, or null when the host has none.
ConfigStore* getConfig();
