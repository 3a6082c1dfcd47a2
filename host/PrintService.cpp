#include "PrintService.h"

#include <QDir>
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

#include "AtomicFile.h"
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
        // Unshaped, so "ff" stays two letters and a PDF reader finds "Offset".
        font.setStyleStrategy(QFont::PreferNoShaping);
        painter.setFont(font);
        QRectF const rect(label.position().x * dotsPerMillimetre, label.position().y * dotsPerMillimetre,
                          label.size().width * dotsPerMillimetre, label.size().height * dotsPerMillimetre);
        painter.drawText(rect, static_cast<int>(painterAlignment(label.alignment())), label.text());
    }
}

// The PDF goes through an AtomicFile: a print that fails half way leaves no
// partial PDF, and an older print of the same name stays whole.
bool PrintService::renderPdf(Form const& form, QString const& fileName, QString* error)
{
    AtomicFile file(fileName);
    // A folder that cannot be made is named by open().
    if (!fileName.isEmpty())
        QDir().mkpath(QFileInfo(fileName).absolutePath());
    bool written = file.open();
    if (written) {
        QPdfWriter writer(file.device());
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                         QPageLayout::Millimeter));
        QPainter painter;
        written = painter.begin(&writer);
        if (written) {
            painter.setPen(Qt::black);
            paintForm(painter, form, kResolution / kMillimetresPerInch);
            written = painter.end();
        }
    }
    // A write that failed inside the painter shows here.
    if (written)
        written = file.commit();
    if (!written && error != nullptr) {
        *error = file.errorString().isEmpty()
                     ? QStringLiteral("cannot write %1: the PDF could not be drawn").arg(fileName)
                     : file.errorString();
    }
    return written;
}
