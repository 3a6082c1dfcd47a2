#include "app/StickFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>

namespace {

struct ByteOrderMark
{
    char const* bytes;
    int length;
    char const* codec;
};

// Longest first: the UTF-32 little-endian mark begins with UTF-16's.
constexpr ByteOrderMark kMarks[] = {
    {"\xFF\xFE\x00\x00", 4, "UTF-32LE"}, {"\x00\x00\xFE\xFF", 4, "UTF-32BE"}, {"\xEF\xBB\xBF", 3, "UTF-8"},
    {"\xFF\xFE", 2, "UTF-16LE"},         {"\xFE\xFF", 2, "UTF-16BE"},
};

// Without a mark, the first characters "<?" tell a 16-bit encoding apart.
constexpr ByteOrderMark kDeclarationStarts[] = {
    {"<\x00?\x00", 4, "UTF-16LE"},
    {"\x00<\x00?", 4, "UTF-16BE"},
};

bool startsWith(QByteArray const& bytes, ByteOrderMark const& mark)
{
    return bytes.startsWith(QByteArray(mark.bytes, mark.length));
}

// The encoding named in an XML declaration written in an ASCII-compatible encoding.
QByteArray declaredEncoding(QByteArray const& bytes)
{
    if (!bytes.startsWith("<?xml"))
        return QByteArray();
    int const end = bytes.indexOf("?>");
    QString const declaration = QString::fromLatin1(bytes.left(end < 0 ? 200 : end));
    QRegularExpressionMatch const match =
        QRegularExpression(QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']")).match(declaration);
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

} // namespace

bool StickFileReader::decode(QByteArray const& bytes, QString* text, QString* error)
{
    QByteArray name;
    int skip = 0;
    for (ByteOrderMark const& mark : kMarks) {
        if (startsWith(bytes, mark)) {
            name = mark.codec;
            skip = mark.length;
            break;
        }
    }
    for (ByteOrderMark const& start : kDeclarationStarts) {
        if (name.isEmpty() && startsWith(bytes, start))
            name = start.codec;
    }
    if (name.isEmpty())
        name = declaredEncoding(bytes);
    if (name.isEmpty())
        name = "UTF-8";

    QTextCodec* codec = QTextCodec::codecForName(name);
    if (codec == nullptr) {
        *error = QStringLiteral("names an encoding this reader does not know (%1)").arg(QString::fromLatin1(name));
        return false;
    }
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString const decoded = codec->toUnicode(bytes.constData() + skip, bytes.size() - skip, &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        *error = QStringLiteral("is not valid %1 text").arg(QString::fromLatin1(codec->name()));
        return false;
    }
    *text = decoded;
    return true;
}

bool StickFileReader::read(QString const& path, QString* text, QString* error)
{
    QFileInfo const info(path);
    if (!info.exists()) {
        *error = QStringLiteral("cannot read %1: no such file").arg(path);
        return false;
    }
    // A FIFO or a device would block the reader or never end.
    if (!info.isFile()) {
        *error = QStringLiteral("cannot read %1: not a regular file").arg(path);
        return false;
    }
    if (info.size() > MaxBytes) {
        *error = QStringLiteral("%1 is too large to be a calibration file").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray const bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QString cause;
    if (!decode(bytes, text, &cause)) {
        *error = QStringLiteral("%1 %2").arg(path, cause);
        return false;
    }
    return true;
}
