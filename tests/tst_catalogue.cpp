#include <QtTest>

#include "data/LonCalibrationTypes.h"

using namespace LonCalibrationTypes;

// The catalogue's names and keys are what the dialogs, the stick import and
// the calibration document print: every member is checked against its text.
class tst_Catalogue : public QObject
{
    Q_OBJECT

private slots:
    void calibrationNames_data();
    void calibrationNames();
    void otherNames_data();
    void otherNames();
    void counterSet();
    void fieldRanges_data();
    void fieldRanges();
    void everyParameterHasAField();
};

void tst_Catalogue::calibrationNames_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");

    struct Row
    {
        int number;
        char const* name;
    };
    static Row const rows[] = {
        {1, "U-mains Gain"},           {2, "U-mains Offset"},        {3, "I-mains Gain"},
        {4, "I-mains Offset"},         {5, "I-mains Gain (int)"},    {6, "I-mains Offset (int)"},
        {7, "I-mains Gain (ext)"},     {8, "I-mains Offset (ext)"},  {9, "I-iso Gain"},
        {10, "I-iso Offset"},          {11, "U-nom Offset"},         {12, "U-nom Gain 80 kV (DC)"},
        {14, "U-nom Gain 32 kV (DC)"}, {15, "U-nom Gain 8 kV (DC)"}, {16, "U-nom Gain 2 kV (SUR)"},
        {17, "U-nom Gain BRN (BOOST)"}, {18, "U-nom Gain RES"},      {19, "U-int Offset"},
        {20, "U-int Gain"},            {21, "I-int Offset"},         {22, "I-int Gain"},
        {23, "I-int Comp. 80 kV"},     {24, "I-int Comp. 40 kV"},    {25, "I-int Comp. 32 kV"},
        {26, "I-int Comp. 8 kV"},      {27, "Enable Comp."},         {28, "U-ext Offset"},
        {29, "U-ext Gain"},            {30, "U-max Offset"},         {31, "U-max Gain"},
        {32, "I-brn lv Gain"},         {33, "I-brn lv Offset"},      {34, "I-brn hv Gain"},
        {35, "I-brn hv Offset"},       {36, "U-brn lv Gain"},        {37, "U-brn lv Offset"},
        {38, "U-nom neg Gain"},        {39, "U-nom neg Offset"},     {40, "U-nom pos Gain"},
        {41, "U-nom pos Offset"},      {42, "U-out Gain"},           {43, "U-out Offset"},
        {44, "I-nom Gain"},            {45, "I-nom Offset"},         {46, "I-out neg Gain"},
        {47, "I-out neg Offset"},      {48, "I-out pos Gain"},       {49, "I-out pos Offset"},
        {50, "VLF start Counter"},     {51, "VLF cycle Counter"},    {53, "Surge Counter 2 kV"},
        {54, "Surge Counter 8 kV"},    {55, "Surge Counter 12 kV"},  {56, "Surge Counter 16 kV"},
        {57, "Surge Counter 32 kV"},   {58, "Surge Counter 60 kV"},  {59, "I-motor Gain"},
        {60, "U-int neg Gain"},        {61, "U-vlf Gain"},           {62, "I-int 300mA Gain"},
        {63, "I-int 100mA Gain"},      {64, "I-int 10mA Gain"},      {65, "I-int 1mA Gain"},
        {66, "I-int 100uA Gain"},      {67, "Cascade"},              {68, "Slim rotor VLF"},
    };
    for (Row const& row : rows)
        QTest::addRow("%d", row.number) << row.number << QString::fromLatin1(row.name)
                                        << QString::fromLatin1(row.name);

    // The one key that differs from its name, and the numbers without a field.
    QTest::newRow("13-own-key") << 13 << QStringLiteral("U-nom Gain 40 kV (DC)") << QStringLiteral("UnomGain40kV");
    QTest::newRow("0-empty") << 0 << QString() << QString();
    QTest::newRow("52-empty") << 52 << QString() << QString();
    QTest::newRow("69-outside") << 69 << QString() << QString();
    QTest::newRow("negative-outside") << -1 << QString() << QString();
}

void tst_Catalogue::calibrationNames()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    QFETCH(QString, key);
    auto const parameter = static_cast<CalibrationParameters>(number);
    QCOMPARE(calibrationParameterName(parameter), name);
    QCOMPARE(calibrationParameterKey(parameter), key);
}

void tst_Catalogue::otherNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    static char const* const measurements[] = {
        "Mains Voltage", "Internal supply Voltage", "Mains Current", "Mains Current (int)", "Mains Current (ext)",
        "R-iso",         "I-iso",                   "U-int",         "U-aux",               "U-ext",
        "U-ref",         "I-int",                   "U-ref",         "U-vlf",               "I-vlf",
        "U-brn lv",      "I-brn hv",                "I-brn lv",      "Motor Current",
    };
    for (int i = 0; i < 19; ++i)
        QTest::addRow("measurement-%d", i) << measurementParameterName(static_cast<MeasurementParameters>(i))
                                           << QString::fromLatin1(measurements[i]);
    QTest::newRow("measurement-19") << measurementParameterName(static_cast<MeasurementParameters>(19)) << QString();

    static char const* const switches[] = {
        "Enable U-nom Gain", "Enable U-nom Offset", "Enable U-out Gain", "Enable U-out Offset",
        "Enable I-nom Gain", "Enable I-nom Offset", "Enable I-out Gain", "Enable I-out Offset",
    };
    for (int i = 0; i < 8; ++i)
        QTest::addRow("switch-%d", i) << switchParameterName(static_cast<SwitchParameters>(i))
                                      << QString::fromLatin1(switches[i]);
    QTest::newRow("switch-8") << switchParameterName(static_cast<SwitchParameters>(8)) << QString();

    static char const* const functions[] = {
        "OVD-HHVS", "OVD-HSUR", "OVD-HSEL", "OVD-HBRN", "OVD-HVCE", "PN-HVCE", "PP-HVCE",
        "DC-MAX",   "U-max",    "OVD-NSUR", "OVD-NVLF", "PN-NVLF",  "PP-NVLF",
    };
    for (int i = 0; i < 13; ++i)
        QTest::addRow("test-function-%d", i) << testFunctionName(static_cast<TestFunctions>(i))
                                             << QString::fromLatin1(functions[i]);
    QTest::newRow("test-function-13") << testFunctionName(static_cast<TestFunctions>(13)) << QString();
}

void tst_Catalogue::otherNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(name, expected);
}

void tst_Catalogue::counterSet()
{
    QList<int> counters;
    for (int number = -1; number <= 70; ++number) {
        if (isCounterParameter(static_cast<CalibrationParameters>(number)))
            counters.append(number);
    }
    QCOMPARE(counters, (QList<int>{50, 51, 53, 54, 55, 56, 57, 58}));
}

void tst_Catalogue::fieldRanges_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("networkType");
    QTest::addColumn<qlonglong>("minimum");
    QTest::addColumn<qlonglong>("maximum");

    QTest::newRow("gain") << int(UMainsGain) << 3 << -128LL << 127LL;
    QTest::newRow("last-byte-before-counters") << int(IOutPosOffset) << 9 << -128LL << 127LL;
    QTest::newRow("hvdc-gain") << int(IInt100uAGain) << 3 << -128LL << 127LL;
    // The HV source keeps the compensation values as bytes in network type 3 only.
    QTest::newRow("compensation-nt3") << int(IIntComp80kV) << 3 << -128LL << 127LL;
    QTest::newRow("compensation-nt9") << int(IIntComp8kV) << 9 << 0LL << 65500LL;
    QTest::newRow("compensation-nt1") << int(IIntComp40kV) << 1 << 0LL << 65500LL;
    QTest::newRow("enable-nt3") << int(EnableComp) << 3 << 0LL << 255LL;
    QTest::newRow("enable-nt0") << int(EnableComp) << 0 << 0LL << 1LL;
    QTest::newRow("vlf-start") << int(VlfStartCounter) << 3 << 0LL << 65535LL;
    QTest::newRow("vlf-cycle") << int(VlfCycleCounter) << 9 << 0LL << 42949672LL;
    QTest::newRow("current-maximum") << int(VlfCurrentMaximum) << 3 << 0LL << 2147483647LL;
    QTest::newRow("surge-first") << int(SurgeCounter2kV) << 3 << 0LL << 6553LL;
    QTest::newRow("surge-last") << int(SurgeCounter60kV) << 9 << 0LL << 6553LL;
    QTest::newRow("cascade") << int(Cascade) << 3 << 0LL << 65535LL;
    QTest::newRow("slim-rotor") << int(SlimRotorVlf) << 3 << 0LL << 1LL;
}

void tst_Catalogue::fieldRanges()
{
    QFETCH(int, number);
    QFETCH(int, networkType);
    QFETCH(qlonglong, minimum);
    QFETCH(qlonglong, maximum);
    auto const parameter = static_cast<CalibrationParameters>(number);
    FieldRange const range = calibrationFieldRange(parameter, networkType);
    QCOMPARE(range.minimum, minimum);
    QCOMPARE(range.maximum, maximum);
    QVERIFY(fitsField(parameter, networkType, minimum) && fitsField(parameter, networkType, maximum));
    QVERIFY(!fitsField(parameter, networkType, minimum - 1) && !fitsField(parameter, networkType, maximum + 1));
}

void tst_Catalogue::everyParameterHasAField()
{
    for (int networkType : {0, 1, 2, 3, 9}) {
        for (int number = FirstCalibrationParameter; number <= LastCalibrationParameter; ++number) {
            FieldRange const range = calibrationFieldRange(static_cast<CalibrationParameters>(number), networkType);
            QVERIFY2(range.minimum <= range.maximum,
                     qPrintable(QStringLiteral("%1 in network type %2").arg(number).arg(networkType)));
        }
    }
    // Numbers without a parameter hold nothing.
    for (int number : {-1, 0, 69})
        QVERIFY(!fitsField(static_cast<CalibrationParameters>(number), 3, 0));
}

QTEST_APPLESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
