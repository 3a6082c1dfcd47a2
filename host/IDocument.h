#pragma once

// A document under construction by the print service.
class IDocument
{
public:
    virtual ~IDocument() = default;
};
