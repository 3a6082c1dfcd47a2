#pragma once

#include <QMap>
#include <QString>

#include <functional>

// The instrument's configuration store: integer and text values under
// slash-path keys ("/Software/PSUMonitor/TrafoCorrectionFactor"), kept in an
// INI file that QSettings reads the same way. Values live in memory; save()
// writes the file whole or not at all, and only when something changed. A
// failure never stops the store: it keeps working in memory and says so.
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

    // True when the latest save() failed; the changes stay in memory and the
    // next save() tries again. Cleared by a save that succeeds.
    bool lastSaveFailed() const { return m_saveFailed; }
    // True when the file existed but could not be read or parsed. The store
    // then starts empty and never replaces that file; cleared when the file
    // has gone and a save has written a new one, or another file is loaded.
    bool loadFailed() const { return m_loadFailed; }
    // The latest failure, naming the file and the cause; empty after a
    // successful load or save.
    QString lastError() const { return m_error; }
    // Values written since the last successful save.
    bool hasUnsavedChanges() const { return m_dirty; }
    // Told every failure (the lastError() text) as it happens, on the calling
    // thread. Not called for the last save when the program ends.
    static void setFailureHandler(std::function<void(QString const& message)> handler);

private:
    ConfigStore();
    ~ConfigStore();
    void load();
    void write(QString const& key, QString const& text);
    // Empty on success, else the message. save() makes a missing folder; the
    // implicit saves (another file chosen, the program ending) do not.
    QString saveFile(bool makeFolder);
    void report(QString const& message);

    QMap<QString, QString> m_values;
    bool m_dirty = false;
    bool m_saveFailed = false;
    bool m_loadFailed = false;
    QString m_error;
};

// The store, or null when the host has none.
ConfigStore* getConfig();
