#include "IPrint.h"

QString const IPrint::pdfTarnel = QStringLiteral("PDF");
