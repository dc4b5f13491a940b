#pragma once

#include "OutputForm.h"

/// Generate XML File: writes the shipping bills and containers of the typed
/// ROT No. as the XML pair for an agent into the program's folder, and mails
/// the pair.
class frmCargoRep : public OutputForm
{
    Q_OBJECT

public:
    explicit frmCargoRep(QWidget* parent = nullptr);

private:
    void cmdPreview_Click();
    void cmdEmail_Click();
    /// Writes the pair; false when it stopped with a message.
    bool writePair();
};
