#include <QAbstractButton>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>
#include <thread>

#include "host/DialogWindow.h"
#include "host/MenuSegment.h"
#include "host/NumberEdit.h"
#include "host/StateMachine.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "nodes/PSULonCalibration.h"
#include "nodes/VLFLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ModuleHarness.h"

using namespace LonCalibrationTypes;

namespace {

// How a value sits in its node's record (bus order).
enum class Encoding
{
    Byte,           // low byte of the value
    Flag,           // 1 for any non-zero value
    Word10,         // ten times the value, 16 bits; refused when it does not fit
    Word,           // the value, 16 bits; refused when it does not fit
    DoubleWord100,  // a hundred times the value, 32 bits; refused when it does not fit
};

// Where each calibration value of the test instrument ("nt3-full") lives:
// the record it is polled with, its byte offset, and the dialogs (node table
// keys) that hold it. The HV-source values belong to the cascade and the burner alike.
struct Field
{
    CalibrationParameters parameter;
    unsigned short pollId;
    int offset;
    Encoding encoding;
    QList<unsigned char> keys;
};

QList<unsigned char> const kHvSource = {19, 27};

QList<Field> const kFields = {
    {UMainsOffset, 0x127B, 0, Encoding::Byte, {18}},
    {UMainsGain, 0x127B, 1, Encoding::Byte, {18}},
    {IMainsOffsetInt, 0x127B, 2, Encoding::Byte, {18}},
    {IMainsGainInt, 0x127B, 3, Encoding::Byte, {18}},
    {IMainsOffsetExt, 0x127B, 4, Encoding::Byte, {18}},
    {IMainsGainExt, 0x127B, 5, Encoding::Byte, {18}},
    {UNomOffset, 0x1375, 0, Encoding::Byte, kHvSource},
    {UNomGain2kV, 0x1375, 1, Encoding::Byte, kHvSource},
    {UNomGain8kV, 0x1375, 2, Encoding::Byte, kHvSource},
    {UNomGain32kV, 0x1375, 3, Encoding::Byte, kHvSource},
    {UNomGain40kV, 0x1375, 4, Encoding::Byte, kHvSource},
    {UNomGain80kV, 0x1375, 5, Encoding::Byte, kHvSource},
    {UNomGainBrn, 0x1375, 6, Encoding::Byte, kHvSource},
    {UNomGainRes, 0x1375, 7, Encoding::Byte, kHvSource},
    {UIntOffset, 0x1375, 8, Encoding::Byte, kHvSource},
    {UIntGain, 0x1375, 9, Encoding::Byte, kHvSource},
    {IIntOffset, 0x1375, 10, Encoding::Byte, kHvSource},
    {IIntGain, 0x1375, 11, Encoding::Byte, kHvSource},
    {EnableComp, 0x1375, 12, Encoding::Flag, kHvSource},
    {IIntComp8kV, 0x1375, 14, Encoding::Byte, kHvSource},
    {IIntComp32kV, 0x1375, 15, Encoding::Byte, kHvSource},
    {IIntComp40kV, 0x1375, 16, Encoding::Byte, kHvSource},
    {IIntComp80kV, 0x1375, 17, Encoding::Byte, kHvSource},
    {UMaxOffset, 0x1975, 0, Encoding::Byte, {19}},
    {UMaxGain, 0x1975, 1, Encoding::Byte, {19}},
    {UExtOffset, 0x1975, 2, Encoding::Byte, {19}},
    {UExtGain, 0x1975, 3, Encoding::Byte, {19}},
    {UBrnLvOffset, 0x1B75, 0, Encoding::Byte, {27}},
    {UBrnLvGain, 0x1B75, 1, Encoding::Byte, {27}},
    {IBrnLvOffset, 0x1B75, 2, Encoding::Byte, {27}},
    {IBrnLvGain, 0x1B75, 3, Encoding::Byte, {27}},
    {IBrnHvOffset, 0x1B75, 4, Encoding::Byte, {27}},
    {IBrnHvGain, 0x1B75, 5, Encoding::Byte, {27}},
    {IIsoOffset, 0x1675, 2, Encoding::Byte, {22}},
    {IIsoGain, 0x1675, 3, Encoding::Byte, {22}},
    {SurgeCounter2kV, 0x1479, 0, Encoding::Word10, {20}},
    {SurgeCounter8kV, 0x1479, 2, Encoding::Word10, {20}},
    {SurgeCounter32kV, 0x1479, 4, Encoding::Word10, {20}},
    {SurgeCounter60kV, 0x1479, 6, Encoding::Word10, {20}},
    {UNomNegOffset, 0x1C75, 0, Encoding::Byte, {28}},
    {UNomNegGain, 0x1C75, 1, Encoding::Byte, {28}},
    {UNomPosOffset, 0x1C75, 2, Encoding::Byte, {28}},
    {UNomPosGain, 0x1C75, 3, Encoding::Byte, {28}},
    {UOutOffset, 0x1C75, 4, Encoding::Byte, {28}},
    {UOutGain, 0x1C75, 5, Encoding::Byte, {28}},
    {INomOffset, 0x1C75, 6, Encoding::Byte, {28}},
    {INomGain, 0x1C75, 7, Encoding::Byte, {28}},
    {IOutNegOffset, 0x1C75, 8, Encoding::Byte, {28}},
    {IOutNegGain, 0x1C75, 9, Encoding::Byte, {28}},
    {IOutPosOffset, 0x1C75, 10, Encoding::Byte, {28}},
    {IOutPosGain, 0x1C75, 11, Encoding::Byte, {28}},
    {VlfStartCounter, 0x1C79, 0, Encoding::Word, {28}},
    {VlfCycleCounter, 0x1C79, 2, Encoding::DoubleWord100, {28}},
};

// What each dialog writes when one of its values changes.
QHash<unsigned char, QList<unsigned short>> const kWritesOfKey = {
    {18, {0x127A}},         {19, {0x1374, 0x1974}}, {20, {0x1478}},
    {22, {0x1674}},         {27, {0x1B74, 0x1374}}, {28, {0x1C78, 0x1C74}},
};
// The service record of node 17, in every form the controller takes it.
QList<unsigned short> const kServiceRecord = {0x117E, 0x1171, 0x1149, 0x117F};
// The menu position of each dialog.
QHash<unsigned char, int> const kPositionOfKey = {{18, 3}, {22, 4}, {19, 5}, {27, 6}, {20, 7}, {28, 8}};

Field const* fieldOf(CalibrationParameters parameter)
{
    for (Field const& field : kFields) {
        if (field.parameter == parameter)
            return &field;
    }
    return nullptr;
}

// The bytes a value becomes in its record; empty when the node refuses it.
QByteArray encode(Encoding encoding, long long value)
{
    auto bigEndian = [](quint64 number, int size) {
        QByteArray bytes(size, '\0');
        for (int i = size - 1; i >= 0; --i, number >>= 8)
            bytes[i] = static_cast<char>(number & 0xFF);
        return bytes;
    };
    switch (encoding) {
    case Encoding::Byte:
        return QByteArray(1, static_cast<char>(value & 0xFF));
    case Encoding::Flag:
        return QByteArray(1, value != 0 ? 1 : 0);
    case Encoding::Word10:
        return value < 0 || value * 10 > 0xFFFF ? QByteArray() : bigEndian(quint64(value * 10), 2);
    case Encoding::Word:
        return value < 0 || value > 0xFFFF ? QByteArray() : bigEndian(quint64(value), 2);
    case Encoding::DoubleWord100:
        return value < 0 || value > 0xFFFFFFFFLL / 100 ? QByteArray() : bigEndian(quint64(value * 100), 4);
    }
    return QByteArray();
}

// The write oracle: for every record, the image the module may legitimately
// hold (the bytes it last received, with the person's changes and the
// confirmed imports laid over them in the order they happened), and the
// writes a cause has allowed. The simulator's records are replayed against
// it in order: a delivery replaces the image, a write must match it exactly
// and must have been allowed.
class WriteOracle
{
public:
    explicit WriteOracle(LonSimulator* lon) : m_lon(lon) {}

    void allow(QList<unsigned short> const& writeIds)
    {
        for (unsigned short id : writeIds)
            m_allowed.insert(id);
    }
    void allowKeys(QList<unsigned char> const& keys)
    {
        for (unsigned char key : keys)
            allow(kWritesOfKey.value(key));
    }
    // A quiet point: whatever a cause allowed before has happened by now.
    void forgetAllowances() { m_allowed.clear(); }

    // A value the module took (a person's change or a confirmed import).
    bool set(Field const& field, long long value)
    {
        QByteArray const bytes = encode(field.encoding, value);
        if (bytes.isEmpty())
            return false;
        QByteArray& image = m_images[field.pollId];
        if (image.size() < field.offset + bytes.size())
            image.resize(field.offset + bytes.size());
        image.replace(field.offset, bytes.size(), bytes);
        allowKeys(field.keys);
        return true;
    }

    // Replays the simulator's records since the last call.
    void replay(QString const& context)
    {
        QList<LonSimulator::Record> const records = m_lon->records();
        for (int i = m_next; i < records.size(); ++i) {
            LonSimulator::Record const& record = records.at(i);
            if (record.kind == LonSimulator::Record::Delivery) {
                m_images.insert(record.nvId, record.bytes);
                m_received[record.nvId].append(record.bytes);
            } else if (record.kind == LonSimulator::Record::Send) {
                check(record, context);
            }
        }
        m_next = records.size();
    }

    QList<QByteArray> received(unsigned short pollId) const { return m_received.value(pollId); }
    QStringList const& faults() const { return m_faults; }
    int writes() const { return m_writes; }
    QHash<unsigned short, int> const& writesById() const { return m_writesById; }
    QByteArray lastServiceRecord() const { return m_lastService; }
    void clearLastServiceRecord() { m_lastService.clear(); }

private:
    void fault(QString const& text)
    {
        if (m_faults.size() < 20)
            m_faults.append(text);
    }

    void check(LonSimulator::Record const& record, QString const& context)
    {
        ++m_writes;
        ++m_writesById[record.nvId];
        QString const where = QStringLiteral("%1: write 0x%2 %3").arg(context).arg(record.nvId, 4, 16, QLatin1Char('0'))
                                  .arg(QString::fromLatin1(record.bytes.toHex()));
        if (!m_allowed.contains(record.nvId)) {
            fault(where + QStringLiteral(" without a cause"));
            return;
        }
        if (kServiceRecord.contains(record.nvId)) {
            if (record.nvId == 0x117E)
                m_lastService = record.bytes;
            return;
        }
        unsigned short const pollId = LonSimulator::pollIdForWrite(record.nvId);
        if (!m_images.contains(pollId)) {
            fault(where + QStringLiteral(" of a record never received"));
            return;
        }
        QByteArray const image = m_images.value(pollId);
        if (record.bytes.size() > image.size()) {
            fault(where + QStringLiteral(" carries %1 bytes never received (image %2)")
                              .arg(record.bytes.size() - image.size())
                              .arg(QString::fromLatin1(image.toHex())));
        } else if (record.bytes != image.left(record.bytes.size())) {
            fault(where + QStringLiteral(" differs from the legitimate image %1").arg(QString::fromLatin1(image.toHex())));
        }
    }

    LonSimulator* m_lon;
    int m_next = 0;
    QHash<unsigned short, QByteArray> m_images;
    QHash<unsigned short, QList<QByteArray>> m_received;
    QSet<unsigned short> m_allowed;
    QStringList m_faults;
    int m_writes = 0;
    QHash<unsigned short, int> m_writesById;
    QByteArray m_lastService;
};

} // namespace

// Everything the module writes to a node changes calibration constants of a
// high-voltage source. A long random session of edits, mode switches,
// imports and late or repeated answers is replayed against a write oracle:
// every write must carry exactly the bytes the node sent, changed only where
// the person or a confirmed import changed them, and must have a cause.
class tst_WriteSafety : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void randomSessionWritesOnlyLegitimateBytes_data();
    void randomSessionWritesOnlyLegitimateBytes();
    void oracleRejectsIllegitimateWrites_data();
    void oracleRejectsIllegitimateWrites();

private:
    // The session's steps.
    void openDialog();
    void closeDialog();
    void editBurst();
    void toggle(int position);
    void flipVlfSwitch();
    void importFromStick();
    void lateAnswer(bool fromClientThread);
    void duplicateAnswer();
    void refreshCounters();
    // Lets pending writes happen, replays them and forgets the causes.
    void settle();
    void step(QString const& name);

    QList<unsigned char> openKeys() const;
    NodeLonCalibrationBase* node(unsigned char key) const;

    QScopedPointer<ModuleHarness> m_harness;
    QScopedPointer<WriteOracle> m_oracle;
    QRandomGenerator m_random;
    QString m_context;
    int m_edits = 0;
    int m_confirmed = 0;
    int m_lateAnswers = 0;
    QElapsedTimer m_lastEdit;
};

void tst_WriteSafety::cleanup()
{
    // The harness goes first: its shutdown closes the dialogs, which still signal.
    m_harness.reset();
    m_oracle.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

NodeLonCalibrationBase* tst_WriteSafety::node(unsigned char key) const
{
    return m_harness->module()->nodeTable().value(key).data();
}

QList<unsigned char> tst_WriteSafety::openKeys() const
{
    QList<unsigned char> keys;
    for (unsigned char key : kPositionOfKey.keys()) {
        if (node(key) != nullptr && node(key)->dialog() != nullptr && !node(key)->dialog()->isHidden())
            keys.append(key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

void tst_WriteSafety::settle()
{
    if (m_lastEdit.isValid() && m_lastEdit.elapsed() < NodeLonCalibrationBase::SendDelayMs + 50)
        QTest::qWait(int(NodeLonCalibrationBase::SendDelayMs + 50 - m_lastEdit.elapsed()));
    m_lastEdit.invalidate();
    m_harness->lon()->waitUntilIdle(5000);
    m_oracle->replay(m_context);
    m_oracle->forgetAllowances();
}

void tst_WriteSafety::openDialog()
{
    QList<unsigned char> const keys = kPositionOfKey.keys();
    unsigned char const key = keys.at(int(m_random.bounded(keys.size())));
    // New answers must not overtake pending writes in the oracle's replay.
    settle();
    if (m_harness->tap(kPositionOfKey.value(key)))
        m_harness->lon()->waitUntilIdle(5000);
}

void tst_WriteSafety::closeDialog()
{
    QList<unsigned char> const keys = openKeys();
    if (!keys.isEmpty())
        ModuleHarness::closeDialog(node(keys.at(int(m_random.bounded(keys.size()))))->dialog());
    HostFixture::flushDeferredDeletes();
}

void tst_WriteSafety::editBurst()
{
    QList<unsigned char> const keys = openKeys();
    if (keys.isEmpty())
        return;
    unsigned char const key = keys.at(int(m_random.bounded(keys.size())));
    NodeLonCalibrationBase* dialogNode = node(key);
    QList<Field const*> editable;
    for (Field const& field : kFields) {
        NumberEdit* edit = dialogNode->getCalibrationNumberEdit(field.parameter);
        if (field.keys.contains(key) && edit != nullptr && edit->isEnabled())
            editable.append(&field);
    }
    if (editable.isEmpty())
        return;
    int const count = 1 + int(m_random.bounded(3));
    for (int i = 0; i < count; ++i) {
        Field const* field = editable.at(int(m_random.bounded(editable.size())));
        NumberEdit* edit = dialogNode->getCalibrationNumberEdit(field->parameter);
        qint64 const before = edit->getNumber();
        qint64 const value = edit->getMinimum() + qint64(m_random.bounded(quint32(qMin<qint64>(edit->getMaximum() - edit->getMinimum() + 1, 0x7FFFFFFF))));
        edit->enterNumber(value);
        // Only a changed number reaches the module; a refused one is shown back.
        if (edit->getNumber() != before) {
            ++m_edits;
            m_oracle->set(*field, edit->getNumber());
        }
        m_lastEdit.start();
    }
    if (m_random.bounded(2) == 0)
        settle();
}

void tst_WriteSafety::toggle(int position)
{
    // A mode switch writes the service record and the DC unit's calibration record.
    m_oracle->allow(kServiceRecord);
    m_oracle->allowKeys({19});
    m_harness->tap(position);
}

void tst_WriteSafety::flipVlfSwitch()
{
    NodeLonCalibrationBase* vlf = node(28);
    if (vlf == nullptr || vlf->dialog() == nullptr)
        return;
    NumberEdit* edit = vlf->getSwitchNumberEdit(SwitchParameters(m_random.bounded(8)));
    if (edit != nullptr && edit->isEnabled())
        edit->enterNumber(1 - edit->getNumber());
}

void tst_WriteSafety::importFromStick()
{
    settle();
    LonCalibration* module = m_harness->module();
    QString text = QStringLiteral("<calibration>");
    int const count = 1 + int(m_random.bounded(12));
    for (int i = 0; i < count; ++i) {
        Field const& field = kFields.at(int(m_random.bounded(kFields.size())));
        long long current = 0;
        module->getValueFromInternalBuffer(field.parameter, current, nullptr);
        // Equal values, small corrections, and now and then one the field cannot hold.
        long long value = current;
        switch (m_random.bounded(4)) {
        case 0:
            break;
        case 1:
            value = qint64(m_random.bounded(256)) - 128;
            break;
        case 2:
            value = current + 1;
            break;
        default:
            value = qint64(m_random.bounded(200000)) - 1000;
            break;
        }
        text += QStringLiteral("<value key=\"%1\">%2</value>").arg(calibrationParameterKey(field.parameter)).arg(value);
    }
    text += QStringLiteral("</calibration>");
    module->importFileFromStick(text);

    for (int guard = 0; guard < 64 && module->infoDialog() != nullptr; ++guard) {
        DialogWindow* dialog = module->infoDialog();
        QAbstractButton* accept = dialog->acceptButton();
        QAbstractButton* reject = dialog->rejectButton();
        int const choice = int(m_random.bounded(10));
        if (accept != nullptr && accept->text() == QLatin1String("Confirm") && choice < 6) {
            QMap<int, long long> const loaded = module->loadedValues();
            Field const* field = fieldOf(CalibrationParameters(loaded.firstKey()));
            QVERIFY(field != nullptr);
            if (m_oracle->set(*field, loaded.first()))
                ++m_confirmed;
            accept->click();
            m_lastEdit.start();
        } else if (accept != nullptr && accept->text() == QLatin1String("Load") && choice < 8) {
            accept->click();
        } else if (reject != nullptr) {
            reject->click();  // "Skip", "Cancel" or "Ok"
        } else if (accept != nullptr) {
            accept->click();
        }
        HostFixture::flushDeferredDeletes();
    }
    QVERIFY(module->infoDialog() == nullptr);
}

void tst_WriteSafety::lateAnswer(bool fromClientThread)
{
    // An answer to an earlier poll, carrying what the node held then.
    QList<unsigned short> candidates;
    for (Field const& field : kFields) {
        if (!m_oracle->received(field.pollId).isEmpty() && !candidates.contains(field.pollId))
            candidates.append(field.pollId);
    }
    if (candidates.isEmpty())
        return;
    unsigned short const pollId = candidates.at(int(m_random.bounded(candidates.size())));
    QList<QByteArray> const history = m_oracle->received(pollId);
    QByteArray const bytes = history.at(int(m_random.bounded(history.size())));
    LonSimulator* lon = m_harness->lon();
    ++m_lateAnswers;
    if (fromClientThread) {
        std::thread client([lon, pollId, bytes] { lon->deliver(pollId, NVData(bytes)); });
        client.join();
        QCoreApplication::processEvents();
    } else {
        lon->deliver(pollId, NVData(bytes));
    }
}

void tst_WriteSafety::duplicateAnswer()
{
    QList<unsigned short> candidates;
    for (Field const& field : kFields) {
        if (!m_oracle->received(field.pollId).isEmpty() && !candidates.contains(field.pollId))
            candidates.append(field.pollId);
    }
    if (candidates.isEmpty())
        return;
    unsigned short const pollId = candidates.at(int(m_random.bounded(candidates.size())));
    NVData const now(m_harness->lon()->memory(pollId));
    m_harness->lon()->deliver(pollId, now);
    m_harness->lon()->deliver(pollId, now);
}

void tst_WriteSafety::refreshCounters()
{
    settle();
    m_harness->host().stateMachine()->setState(7);
    m_harness->host().stateMachine()->setState(3);
    m_harness->lon()->waitUntilIdle(5000);
}

void tst_WriteSafety::step(QString const& name)
{
    m_oracle->replay(m_context + QLatin1Char(' ') + name);
    // After every step the last service record shows the modes the toggles show.
    QByteArray const service = m_oracle->lastServiceRecord();
    if (service.isEmpty())
        return;
    bool const calibration = m_harness->segment(ModuleHarness::CalibrationPosition)->toggleState() == ToggleOn;
    bool const relax = m_harness->segment(ModuleHarness::RelaxPosition)->toggleState() == ToggleOn;
    QVERIFY2(bool(service.at(0) & 0x01) == calibration && bool(service.at(0) & 0x02) == relax,
             qPrintable(QStringLiteral("%1 %2: service record %3 while the menu shows calibration %4, relax %5")
                            .arg(m_context, name, QString::fromLatin1(service.toHex()))
                            .arg(calibration)
                            .arg(relax)));
    m_oracle->clearLastServiceRecord();
}

void tst_WriteSafety::randomSessionWritesOnlyLegitimateBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");

    // LONCAL_WRITESAFETY_SEED and LONCAL_WRITESAFETY_STEPS replay or lengthen a session.
    bool ok = false;
    quint32 const seed = quint32(qEnvironmentVariableIntValue("LONCAL_WRITESAFETY_SEED", &ok));
    int steps = qEnvironmentVariableIntValue("LONCAL_WRITESAFETY_STEPS");
    if (steps <= 0)
        steps = 160;
    if (ok) {
        QTest::newRow(qPrintable(QStringLiteral("seed-%1").arg(seed))) << seed << steps;
        return;
    }
    QTest::newRow("seed-20240611") << quint32(20240611) << steps;
    QTest::newRow("seed-7") << quint32(7) << steps;
}

void tst_WriteSafety::randomSessionWritesOnlyLegitimateBytes()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);

    m_random.seed(seed);
    m_context = QStringLiteral("seed %1").arg(seed);
    m_edits = m_confirmed = m_lateAnswers = 0;
    m_lastEdit.invalidate();

    m_harness.reset(new ModuleHarness(*InstrumentProfile::find(QStringLiteral("nt3-full"))));
    LonSimulator* lon = m_harness->lon();
    m_oracle.reset(new WriteOracle(lon));
    // Answers come from the client's thread, late, twice and out of order.
    LonSimulator::Faults faults;
    faults.latencyMs = 2;
    faults.jitterMs = 6;
    faults.duplicateRate = 0.3;
    faults.reorderRate = 0.3;
    faults.lossRate = 0.1;
    faults.seed = seed;
    lon->setFaults(faults);
    lon->setAutoAnswer(true);
    QVERIFY(m_harness->bringUp());
    lon->waitUntilIdle(5000);

    // The dialogs' calibration flags write the service record on their own.
    auto allowService = [this] {
        if (m_oracle)
            m_oracle->allow(kServiceRecord);
    };
    if (auto* psu = qobject_cast<PSULonCalibration*>(node(18)))
        connect(psu, &PSULonCalibration::setPsuCalibrationFlags, this, allowService, Qt::DirectConnection);
    if (auto* vlf = qobject_cast<VLFLonCalibration*>(node(28)))
        connect(vlf, &VLFLonCalibration::sctsCalibrationFlagsChanged, this, allowService, Qt::DirectConnection);
    m_harness->tap(ModuleHarness::CalibrationPosition);
    m_oracle->allow(kServiceRecord);
    m_oracle->allowKeys({19});
    step(QStringLiteral("start"));

    for (int i = 0; i < steps; ++i) {
        QString name;
        int const pick = int(m_random.bounded(100));
        if (pick < 16) {
            name = QStringLiteral("open");
            openDialog();
        } else if (pick < 21) {
            name = QStringLiteral("close");
            closeDialog();
        } else if (pick < 56) {
            name = QStringLiteral("edit");
            editBurst();
        } else if (pick < 62) {
            name = QStringLiteral("calibration");
            toggle(ModuleHarness::CalibrationPosition);
        } else if (pick < 65) {
            name = QStringLiteral("relax");
            toggle(ModuleHarness::RelaxPosition);
        } else if (pick < 69) {
            name = QStringLiteral("vlf-switch");
            flipVlfSwitch();
        } else if (pick < 77) {
            name = QStringLiteral("import");
            importFromStick();
        } else if (pick < 84) {
            name = QStringLiteral("late");
            lateAnswer(false);
        } else if (pick < 89) {
            name = QStringLiteral("late-client-thread");
            lateAnswer(true);
        } else if (pick < 95) {
            name = QStringLiteral("duplicate");
            duplicateAnswer();
        } else {
            name = QStringLiteral("counters");
            refreshCounters();
        }
        step(QStringLiteral("step %1 (%2)").arg(i).arg(name));
        if (QTest::currentTestFailed())
            return;
    }
    settle();
    step(QStringLiteral("end"));
    m_harness->closeAllDialogs();
    settle();

    QStringList counts;
    for (auto it = m_oracle->writesById().cbegin(); it != m_oracle->writesById().cend(); ++it)
        counts << QStringLiteral("%1x%2").arg(it.key(), 4, 16, QLatin1Char('0')).arg(it.value());
    counts.sort();
    qInfo("%s: %d steps, %d edits, %d confirmed imports, %d late answers, %d writes checked (%s)",
          qPrintable(m_context), steps, m_edits, m_confirmed, m_lateAnswers, m_oracle->writes(),
          qPrintable(counts.join(QLatin1Char(' '))));
    QVERIFY2(m_oracle->faults().isEmpty(), qPrintable(m_oracle->faults().join(QLatin1Char('\n'))));
    // The session did what it claims: values were changed and written.
    QVERIFY(m_edits > 0);
    QVERIFY(m_oracle->writes() > m_edits / 4);
}

void tst_WriteSafety::oracleRejectsIllegitimateWrites_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("written");

    QByteArray const record = QByteArray::fromHex("0302010400ff");
    QTest::newRow("exact-image") << true << record << record;
    QTest::newRow("without-a-cause") << false << record << record;
    QTest::newRow("never-received") << true << QByteArray() << record;
    QTest::newRow("byte-changed") << true << record << QByteArray::fromHex("0302010401ff");
    QTest::newRow("longer-than-received") << true << record.left(4) << record;
}

// The oracle itself must see the faults it is there for.
void tst_WriteSafety::oracleRejectsIllegitimateWrites()
{
    QFETCH(bool, allowed);
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, written);

    HostFixture host;
    LonSimulator* lon = host.lon();
    WriteOracle oracle(lon);
    if (!received.isEmpty())
        lon->deliver(0x127B, NVData(received));
    if (allowed)
        oracle.allowKeys({18});
    lon->sendNV(0x127A, NVData(written));
    oracle.replay(QStringLiteral("check"));
    QCOMPARE(oracle.faults().isEmpty(), allowed && received == written);
}

QTEST_MAIN(tst_WriteSafety)
#include "tst_writesafety.moc"
