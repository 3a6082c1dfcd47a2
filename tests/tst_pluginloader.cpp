#include <QLibrary>
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

QTEST_MAIN(tst_PluginLoader)
#include "tst_pluginloader.moc"
