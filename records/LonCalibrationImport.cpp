// LonCalibration: loading calibration values back from a stick, value by value.
#include "module/LonCalibration.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QHash>

#include "host/LonStrings.h"
#include "host/NVData.h"
#include "module/ILoadFromStickCallback.h"
#include "data/ServiceLog.h"
#include "records/CalibrationFileGuard.h"

using namespace LonCalibrationTypes;

void LonCalibration::slotLoadFromStick()
{
    cleanUp();
    if (m_loadCallback == nullptr) {
        logService(QStringLiteral("Load calibration data: no stick module registered"));
        return;
    }
    m_loadCallback->loadFromStick();
}

void LonCalibration::importFileFromStick(QString text)
{
    // A byte order mark the stick module's decoding left in front is no part
    // of the document, and the document parser would refuse the text for it.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    if (text.isEmpty())
        return;

    CalibrationFileGuard::Verdict const verdict = CalibrationFileGuard::check(text);
    if (verdict == CalibrationFileGuard::Verdict::NotWellFormed)
        return;
    // Text the guard's reader found well-formed is never dropped without a
    // word: should the document parser still refuse it, the file is invalid.
    QDomDocument document;
    bool valid = verdict == CalibrationFileGuard::Verdict::Acceptable && document.setContent(text, false);

    m_loadedValues.clear();
    int loaded = 0;
    int equal = 0;
    for (QDomNode child = document.documentElement().firstChild(); valid && !child.isNull();
         child = child.nextSibling()) {
        if (child.isComment())
            continue;
        QDomElement const element = child.toElement();
        if (element.isNull() || element.tagName() != QLatin1String("value")) {
            valid = false;
            break;
        }
        CalibrationParameters const parameter = calibrationParameterForKey(element.attribute(QStringLiteral("key")));
        QString const text = element.text();
        bool converted = false;
        int const value = text.toInt(&converted, 10);
        if (parameter == CalParamNone || text.isEmpty() || !converted) {
            valid = false;
            break;
        }

        long long stored = 0;
        bool received = false;
        if (!getValueFromInternalBuffer(parameter, stored, &received))
            continue;  // not on this instrument
        // The module never exports a value its field cannot hold; confirmed,
        // such a value would reach the node wrapped.
        if (!fitsField(parameter, NVData::m_NetworkType, value)) {
            valid = false;
            break;
        }
        if (!received)
            continue;  // not read from the node yet
        ++loaded;
        if (stored == value)
            ++equal;
        else
            m_loadedValues.insert(parameter, value);
    }

    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;
    m_acceptButton.reset();
    m_rejectButton.reset();
    m_infoDialog.reset(new DialogWindow(mainWindow, nullptr));
    DialogWindow* dialog = m_infoDialog.get();
    dialog->setTitle(QStringLiteral("Load calibration"));

    bool singleButton = true;
    if (!valid) {
        dialog->setMessage(QStringLiteral("Invalid file"));
        logService(QStringLiteral("Load Calibration data failed"));
    } else {
        QString const summary = QStringLiteral("%1 loaded, %2 equal").arg(loaded).arg(equal);
        dialog->setMessage(summary);
        logService(QStringLiteral("Load Calibration data from stick (%1)").arg(summary));
        if (!m_loadedValues.isEmpty() && equal != loaded) {
            singleButton = false;
            m_acceptButton.reset(dialog->insertAcceptButton(QCoreApplication::translate("Menu", "Load"), false, false));
            connect(m_acceptButton.get(), &QAbstractButton::clicked, this,
                    &LonCalibration::slotLoadCalibrationValueStart);
            m_rejectButton.reset(
                dialog->insertRejectButton(QCoreApplication::translate("Dialog", "Cancel"), true, false));
            connect(m_rejectButton.get(), &QAbstractButton::clicked, this, &LonCalibration::cleanUp);
        }
    }
    if (singleButton) {
        m_rejectButton.reset();
        m_acceptButton.reset(dialog->insertRejectButton(QCoreApplication::translate("Dialog", "Ok"), true, true));
        connect(m_acceptButton.get(), &QAbstractButton::clicked, this, &LonCalibration::cleanUp);
    }

    dialog->show();
    if (m_rejectButton)
        m_rejectButton->setFocus(Qt::OtherFocusReason);
}

bool LonCalibration::showNextCalibrationValue()
{
    if (!m_infoDialog)
        return false;
    // Values no node can take (the read-only 52, 67, 68) or no longer holds are
    // passed over, so they never hide the differing values after them.
    while (!m_loadedValues.isEmpty()) {
        auto const parameter = static_cast<CalibrationParameters>(m_loadedValues.firstKey());
        long long const newValue = m_loadedValues.first();
        unsigned char const node = getNodeIdForCalibrationParameter(parameter);
        long long current = 0;
        bool received = false;
        if (node == 0 || !getValueFromInternalBuffer(parameter, current, &received) || !received) {
            m_loadedValues.remove(parameter);
            continue;
        }
        QString const prompt = QStringLiteral("%1.%2: from %3 to %4")
                                   .arg(LonStrings::getNodeName(node), calibrationParameterName(parameter))
                                   .arg(current)
                                   .arg(newValue);
        m_infoDialog->setMessage(prompt);
        logService(prompt);
        return true;
    }
    return false;
}

void LonCalibration::slotLoadCalibrationValueStart()
{
    if (!showNextCalibrationValue()) {
        cleanUp();
        return;
    }
    if (m_acceptButton) {
        m_acceptButton->setText(QStringLiteral("Confirm"));
        disconnect(m_acceptButton.get(), nullptr, this, nullptr);
        connect(m_acceptButton.get(), &QAbstractButton::clicked, this,
                &LonCalibration::slotLoadCalibrationValueConfirm);
    }
    if (m_rejectButton) {
        m_rejectButton->setText(QStringLiteral("Skip"));
        disconnect(m_rejectButton.get(), nullptr, this, nullptr);
        connect(m_rejectButton.get(), &QAbstractButton::clicked, this, &LonCalibration::slotLoadCalibrationValueSkip);
    }
}

void LonCalibration::slotLoadCalibrationValueConfirm()
{
    if (m_loadedValues.isEmpty()) {
        cleanUp();
        return;
    }
    int const parameter = m_loadedValues.firstKey();
    setValueToInternalBuffer(static_cast<CalibrationParameters>(parameter), m_loadedValues.take(parameter));
    if (!showNextCalibrationValue())
        cleanUp();
}

void LonCalibration::slotLoadCalibrationValueSkip()
{
    if (m_loadedValues.isEmpty()) {
        cleanUp();
        return;
    }
    // A copy: remove() reads its key again after freeing the node firstKey() refers into.
    int const parameter = m_loadedValues.firstKey();
    m_loadedValues.remove(parameter);
    if (!showNextCalibrationValue())
        cleanUp();
}
