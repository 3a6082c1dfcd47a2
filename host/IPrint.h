#pragma once

#include <QList>
#include <QString>

class IPrintResponse;

// One item of a print request.
struct PrintItem
{
    QString name;
    bool first = false;
    bool second = false;
};

struct PrintRequest
{
    QList<PrintItem> items;
    IPrintResponse* response = nullptr;
    QString name;
    QString text;
    bool servicePrint = false;
};

// The host's print service; found under "IPrint".
class IPrint
{
public:
    enum Result
    {
        ResultBusy = 4,
        ResultDone = 5
    };

    // Name of the printer that writes PDF files.
    static QString const pdfTarnel;

    virtual ~IPrint() = default;
    virtual void print(PrintRequest const& request) = 0;
    virtual QString currentPrinterName() const = 0;
    virtual int lastPrintResult() const = 0;
};
