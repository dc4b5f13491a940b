#pragma once

#include "OutputForm.h"

/// Generate Flat-File: writes the EGM flat file for the typed ROT No. and
/// EGM date into the program's folder, offers to copy it to removable media
/// and mails it.
class frmVslRep : public OutputForm
{
    Q_OBJECT

public:
    explicit frmVslRep(QWidget* parent = nullptr);

private:
    void cmdPreview_Click();
    void cmdEmail_Click();
    /// Writes the file; its path, or "" when the write stopped with a message.
    QString writeFile();
};
