#pragma once

#include <QString>

#include "Form.h"

class IDocument;

// What a module that prints answers to the print service.
class IPrintResponse
{
public:
    virtual ~IPrintResponse() = default;
    virtual bool completeProtocol(IDocument* document, QString const& name) = 0;
    virtual void printFinished(QString const& name) = 0;
    virtual Form createForm(QString const& name) = 0;
};
