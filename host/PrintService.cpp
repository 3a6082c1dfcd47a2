#include "PrintService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRectF>
#include <QStandardPaths>
#include <QPointer>
#include <QTimer>

#include "Form.h"
#include "IPrintResponse.h"

namespace {

constexpr int kResolution = 300;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kResultWriteFailed = 6;

struct AlignmentRow
{
    int formAlignment;
    Qt::Alignment painterAlignment;
};

constexpr AlignmentRow kAlignments[] = {
    {FormLabel::AlignLeftTop, Qt::AlignLeft | Qt::AlignTop},
    {FormLabel::AlignRightTop, Qt::AlignRight | Qt::AlignTop},
};

Qt::Alignment painterAlignment(int formAlignment)
{
    for (AlignmentRow const& row : kAlignments) {
        if (row.formAlignment == formAlignment)
            return row.painterAlignment;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

} // namespace

QString const PrintService::defaultPrinter = QStringLiteral("Printer");

PrintService::PrintService(QObject* parent)
    : QObject(parent), m_printer(defaultPrinter), m_outputDirectory(defaultOutputDirectory())
{
}

PrintService::~PrintService() = default;

// The document name becomes a file name: keep it inside the output folder.
QString PrintService::safeFileName(QString const& name)
{
    QString base = name;
    for (QChar& c : base) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        base = QStringLiteral("print");
    return base;
}

QString PrintService::pdfFileName(QString const& documentName)
{
    return safeFileName(documentName) + QStringLiteral(".pdf");
}

QString PrintService::defaultOutputDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("loncal-print"));
}

ModuleDependency const* PrintService::getDependencies() const
{
    static ModuleDependency const dependencies[] = {{nullptr, false}};
    return dependencies;
}

void PrintService::print(PrintRequest const& request)
{
    m_requests.append(request);
    // A real spooler answers later; the caller must not rely on a synchronous answer.
    // A response that is a QObject and goes away before the answer is not called.
    QPointer<QObject> const alive = dynamic_cast<QObject*>(request.response);
    bool const guarded = !alive.isNull();
    QTimer::singleShot(0, this, [this, request, alive, guarded]() {
        PrintRequest answered = request;
        if (guarded && alive.isNull())
            answered.response = nullptr;
        process(answered);
    });
}

void PrintService::process(PrintRequest const& request)
{
    if (m_forcedResult >= 0) {
        m_lastResult = m_forcedResult;
        m_forcedResult = -1;
    } else {
        Form const form = request.response != nullptr ? request.response->createForm(request.name) : Form();
        QString const file = QDir(m_outputDirectory).filePath(pdfFileName(request.name));
        bool const written = renderPdf(form, file);
        m_lastResult = written ? ResultDone : kResultWriteFailed;
        m_lastFile = written ? file : QString();
    }
    if (request.response != nullptr)
        request.response->printFinished(request.name);
    emit printed(request.name, m_lastResult);
}

void PrintService::paintForm(QPainter& painter, Form const& form, double dotsPerMillimetre)
{
    for (FormLabel const& label : form.labels()) {
        QFont font = painter.font();
        font.setBold(label.bold());
        font.setPointSize(label.pointSize() > 0 ? label.pointSize() : 10);
        painter.setFont(font);
        QRectF const rect(label.position().x * dotsPerMillimetre, label.position().y * dotsPerMillimetre,
                          label.size().width * dotsPerMillimetre, label.size().height * dotsPerMillimetre);
        painter.drawText(rect, static_cast<int>(painterAlignment(label.alignment())), label.text());
    }
}

bool PrintService::renderPdf(Form const& form, QString const& fileName)
{
    QFileInfo const info(fileName);
    if (fileName.isEmpty() || info.isDir() || !QDir().mkpath(info.absolutePath()))
        return false;
    {
        // QPdfWriter reports an unwritable file only through a failing painter; ask first.
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly))
            return false;
    }

    QPdfWriter writer(fileName);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setPen(Qt::black);
    paintForm(painter, form, kResolution / kMillimetresPerInch);
    if (!painter.end())
        return false;
    return QFileInfo(fileName).size() > 0;
}
