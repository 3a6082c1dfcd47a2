#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "host/HWConfiguration.h"
#include "host/IModule.h"

// Loads the built plug-in file the way the instrument host does: by path,
// resolving the unmangled entry, with no link-time knowledge of the module.
class tst_PluginLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void identity();
    void dependencyTable();
    void suitability_data();
    void suitability();
    void workbenchFindsPlugin_data();
    void workbenchFindsPlugin();

private:
    IModule* instantiate();

    QLibrary m_library{QStringLiteral(LONCAL_PLUGIN_PATH)};
};

void tst_PluginLoader::initTestCase()
{
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    QVERIFY(m_library.resolve("module_instantiate") != nullptr);
}

void tst_PluginLoader::cleanup()
{
    HWConfiguration::reset();
}

IModule* tst_PluginLoader::instantiate()
{
    using Entry = IModule* (*)();
    auto entry = reinterpret_cast<Entry>(m_library.resolve("module_instantiate"));
    return entry != nullptr ? entry() : nullptr;
}

void tst_PluginLoader::identity()
{
    QScopedPointer<IModule> module(instantiate());
    QVERIFY(module);
    QCOMPARE(module->getName(), QStringLiteral("LonCalibration"));
    QCOMPARE(module->getVersion(), 0x1000000u);
    QString message = QStringLiteral("stale");
    QVERIFY(module->initializeReady(message));
    QVERIFY(module->getErrorStructure() == nullptr);
}

void tst_PluginLoader::dependencyTable()
{
    QScopedPointer<IModule> first(instantiate());
    QScopedPointer<IModule> second(instantiate());
    ModuleDependency const* table = first->getDependencies();
    QVERIFY(table != nullptr);
    // Built once: every call and every instance hands out the same array.
    QCOMPARE(first->getDependencies(), table);
    QCOMPARE(second->getDependencies(), table);

    QStringList names;
    QList<bool> required;
    for (ModuleDependency const* entry = table; entry->name != nullptr; ++entry) {
        names << QString::fromLatin1(entry->name);
        required << entry->required;
    }
    QCOMPARE(names, (QStringList{"ParameterControl", "DatabaseAccess", "LonAccess", "Statemachine", "Print"}));
    QCOMPARE(required, (QList<bool>{true, true, true, true, false}));
    QCOMPARE(table[5].required, false);
}

void tst_PluginLoader::suitability_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<bool>("suitableWithoutHvDc");
    QTest::addColumn<bool>("suitableWithHvDc");

    static bool const plain[] = {false, true, true, true, true, false, false, false,
                                 false, false, false, true, false, true, true, false};
    for (int hardware = 0; hardware <= 15; ++hardware) {
        bool const hvDcVariant = hardware == 7 || hardware == 12;
        QTest::addRow("hardware-%d", hardware) << hardware << plain[hardware] << (plain[hardware] || hvDcVariant);
    }
    QTest::newRow("negative-is-huge-unsigned") << -1 << false << false;
    QTest::newRow("hardware-200") << 200 << false << false;
}

void tst_PluginLoader::suitability()
{
    QFETCH(int, hardware);
    QFETCH(bool, suitableWithoutHvDc);
    QFETCH(bool, suitableWithHvDc);

    QScopedPointer<IModule> module(instantiate());
    HWConfiguration::setHardware(hardware);
    HWConfiguration::setHvDcControlEnabled(false);
    QCOMPARE(module->isConfigurationSuitable(), suitableWithoutHvDc);
    HWConfiguration::setHvDcControlEnabled(true);
    QCOMPARE(module->isConfigurationSuitable(), suitableWithHvDc);
}

void tst_PluginLoader::workbenchFindsPlugin_data()
{
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("override");
    QTest::addColumn<QString>("expected"); // the plug-in the run names, in the tree

    QString const installed = QStringLiteral("bin/" LONCAL_PLUGIN_RELATIVE_DIR "/libLonCalibration.so");
    QTest::newRow("build tree: beside the program") << true << false << false << "bin/libLonCalibration.so";
    QTest::newRow("installed tree") << false << true << false << installed;
    QTest::newRow("beside comes first") << true << true << false << "bin/libLonCalibration.so";
    QTest::newRow("--plugin overrides both") << true << true << true << "other/libLonCalibration.so";
    QTest::newRow("none: the error names the first place") << false << false << false << "bin/libLonCalibration.so";
}

// A copy of the built workbench in a tree of its own, with the plug-in in the
// places the row names: which one does a headless run load?
void tst_PluginLoader::workbenchFindsPlugin()
{
    QFETCH(bool, beside);
    QFETCH(bool, installed);
    QFETCH(bool, override);
    QFETCH(QString, expected);

    QTemporaryDir tree;
    QVERIFY(tree.isValid());
    QDir const root(tree.path());
    QString const pluginDir = QDir::cleanPath(root.filePath(QStringLiteral("bin/" LONCAL_PLUGIN_RELATIVE_DIR)));
    for (QString const& dir : {root.filePath(QStringLiteral("bin")), pluginDir, root.filePath(QStringLiteral("other"))})
        QVERIFY(QDir().mkpath(dir));
    QString const program = root.filePath(QStringLiteral("bin/loncal-workbench"));
    QVERIFY(QFile::copy(QStringLiteral(LONCAL_WORKBENCH_PATH), program));
    QString const plugin = QStringLiteral(LONCAL_PLUGIN_PATH);
    QString const fileName = QFileInfo(plugin).fileName();
    if (beside)
        QVERIFY(QFile::copy(plugin, root.filePath(QStringLiteral("bin/") + fileName)));
    if (installed)
        QVERIFY(QFile::copy(plugin, QDir(pluginDir).filePath(fileName)));

    QStringList arguments{QStringLiteral("--headless")};
    for (char const* option : {"instrument", "config", "log", "stick", "output"})
        arguments << QStringLiteral("--") + QLatin1String(option) << root.filePath(QLatin1String(option));
    if (override) {
        QVERIFY(QFile::copy(plugin, root.filePath(QStringLiteral("other/") + fileName)));
        arguments << QStringLiteral("--plugin") << root.filePath(QStringLiteral("other/") + fileName);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(program, arguments);
    QVERIFY(run.waitForFinished(60000));
    QString const output = QString::fromLocal8Bit(run.readAllStandardOutput() + run.readAllStandardError());

    QString const expectedPath = QDir::cleanPath(root.filePath(expected));
    bool const found = beside || installed || override;
    QCOMPARE(run.exitCode(), found ? 0 : 1);
    QVERIFY2(output.contains(found ? QStringLiteral("plug-in     ") + expectedPath : expectedPath), qPrintable(output));
}

QTEST_MAIN(tst_PluginLoader)
#include "tst_pluginloader.moc"
