#include "sim/NodeMemoryFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <algorithm>

namespace {

QString const kProfileKey = QStringLiteral("profile");
QString const kVariablesKey = QStringLiteral("variables");

bool refuse(QString* error, QString const& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

bool isHexDigit(QChar c)
{
    ushort const u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isHexText(QString const& text)
{
    return std::all_of(text.cbegin(), text.cend(), isHexDigit);
}

// "0x" and four hex digits; false for anything else.
bool parseVariableName(QString const& name, unsigned short* nvId)
{
    if (name.size() != 6 || !name.startsWith(QLatin1String("0x")) || !isHexText(name.mid(2)))
        return false;
    *nvId = static_cast<unsigned short>(name.mid(2).toUInt(nullptr, 16));
    return true;
}

} // namespace

QString NodeMemoryFile::variableName(unsigned short nvId)
{
    return QStringLiteral("0x") + QString::number(nvId, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QByteArray NodeMemoryFile::encode(QString const& profile, Layout const& layout, Memory const& memory, QString* error)
{
    if (profile.isEmpty()) {
        refuse(error, QStringLiteral("the simulated instrument has no profile"));
        return QByteArray();
    }
    QJsonObject variables;
    for (auto it = layout.cbegin(); it != layout.cend(); ++it) {
        auto const found = memory.constFind(it.key());
        if (found == memory.cend())
            continue;
        if (found->size() != it.value()) {
            refuse(error,
                QStringLiteral("variable %1 holds %2 bytes, profile '%3' has %4")
                    .arg(variableName(it.key()), QString::number(found->size()), profile, QString::number(it.value())));
            return QByteArray();
        }
        variables.insert(variableName(it.key()), QString::fromLatin1(found->toHex()));
    }
    QJsonObject root;
    root.insert(kProfileKey, profile);
    root.insert(kVariablesKey, variables);
    return QJsonDocument(root).toJson();
}

bool NodeMemoryFile::read(QString const& path, Contents* contents, QString* error)
{
    QFileInfo const info(path);
    if (info.exists() && !info.isFile())
        return refuse(error, QStringLiteral("%1 is not a regular file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QByteArray const text = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    if (text.size() > MaxFileBytes)
        return refuse(error, QStringLiteral("%1 is too large for a node memory file").arg(path));

    QJsonParseError parseError;
    QJsonDocument const document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refuse(error, QStringLiteral("%1 is not a node memory file: %2").arg(path, parseError.errorString()));
    if (!document.isObject())
        return refuse(error, QStringLiteral("%1 is not a node memory file: not a JSON object").arg(path));
    QJsonObject const root = document.object();
    for (QString const& key : root.keys()) {
        if (key != kProfileKey && key != kVariablesKey)
            return refuse(error, QStringLiteral("%1: unknown entry \"%2\"").arg(path, key));
    }
    QString const profile = root.value(kProfileKey).toString();
    if (profile.isEmpty())
        return refuse(error, QStringLiteral("%1: no \"profile\" name").arg(path));
    QJsonValue const variables = root.value(kVariablesKey);
    if (!variables.isObject())
        return refuse(error, QStringLiteral("%1: no \"variables\" object").arg(path));

    Contents read;
    read.profile = profile;
    QJsonObject const entries = variables.toObject();
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        unsigned short nvId = 0;
        if (!parseVariableName(it.key(), &nvId))
            return refuse(
                error, QStringLiteral("%1: variable %2 is not named 0x and four hex digits").arg(path, it.key()));
        // Two spellings of one identifier ("0x1b75", "0x1B75") would hide one value.
        if (read.variables.contains(nvId))
            return refuse(error, QStringLiteral("%1: variable %2 appears twice").arg(path, variableName(nvId)));
        QString const hex = it.value().toString();
        if (!it.value().isString() || hex.size() % 2 != 0 || !isHexText(hex))
            return refuse(
                error, QStringLiteral("%1: variable %2 is not a string of hex byte pairs").arg(path, it.key()));
        if (hex.size() / 2 > MaxVariableBytes)
            return refuse(error,
                QStringLiteral("%1: variable %2 holds %3 bytes, more than %4")
                    .arg(path, it.key(), QString::number(hex.size() / 2), QString::number(MaxVariableBytes)));
        read.variables.insert(nvId, QByteArray::fromHex(hex.toLatin1()));
    }
    *contents = read;
    return true;
}

bool NodeMemoryFile::fits(
    QString const& path, Contents const& contents, QString const& profile, Layout const& layout, QString* error)
{
    if (contents.profile != profile)
        return refuse(
            error, QStringLiteral("%1: belongs to profile '%2', not '%3'").arg(path, contents.profile, profile));
    // In identifier order, so the same file always names the same variable.
    QList<unsigned short> ids = contents.variables.keys();
    std::sort(ids.begin(), ids.end());
    for (unsigned short nvId : qAsConst(ids)) {
        // Files of earlier versions also kept the commands the module sent
        // (service record, U-max, alarm tests): no node memory, passed over.
        auto const size = layout.constFind(nvId);
        if (size == layout.cend())
            continue;
        int const held = contents.variables.value(nvId).size();
        if (held != *size)
            return refuse(error,
                QStringLiteral("%1: variable %2 holds %3 bytes, profile '%4' has %5")
                    .arg(path, variableName(nvId), QString::number(held), profile, QString::number(*size)));
    }
    return true;
}
