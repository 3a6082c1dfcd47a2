#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "IModule.h"
#include "IPrint.h"

class Form;
class QPainter;

// The host's print service stand-in. A request is answered from the event
// loop: the module's form is fetched and rendered as a real PDF page (A4,
// millimetre positions), then printFinished is called. The PDF printer writes
// "<name>.pdf" into the output folder; the other printer spools there too.
class PrintService : public QObject, public IModule, public IPrint
{
    Q_OBJECT

public:
    static QString const defaultPrinter;

    explicit PrintService(QObject* parent = nullptr);
    ~PrintService() override;

    // IModule
    QString getName() const override { return QStringLiteral("Print"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    // IPrint
    void print(PrintRequest const& request) override;
    QString currentPrinterName() const override { return m_printer; }
    int lastPrintResult() const override { return m_lastResult; }

    void setCurrentPrinterName(QString const& printer) { m_printer = printer; }
    void setOutputDirectory(QString const& directory) { m_outputDirectory = directory; }
    QString outputDirectory() const { return m_outputDirectory; }
    // Forces the result of the next print (for example ResultBusy); -1 prints normally.
    void setNextResult(int result) { m_forcedResult = result; }
    QList<PrintRequest> const& requests() const { return m_requests; }
    QString lastFile() const { return m_lastFile; }

    // Renders the form as one PDF page, written whole or not at all; false
    // when the file cannot be written, and *error (if given) names the file and the cause.
    static bool renderPdf(Form const& form, QString const& fileName, QString* error = nullptr);
    // Paints the labels onto a page whose origin is the paper's top left corner.
    static void paintForm(QPainter& painter, Form const& form, double dotsPerMillimetre);
    // A document name made safe as a file name inside the output folder.
    static QString safeFileName(QString const& name);
    // The file a PDF print of the document is written to, inside the output folder.
    static QString pdfFileName(QString const& documentName);
    // Where prints land unless the host chooses another folder.
    static QString defaultOutputDirectory();

signals:
    void printed(QString const& name, int result);

private:
    void process(PrintRequest const& request);

    QString m_printer;
    QString m_outputDirectory;
    int m_lastResult = 0;
    int m_forcedResult = -1;
    QString m_lastFile;
    QList<PrintRequest> m_requests;
};
