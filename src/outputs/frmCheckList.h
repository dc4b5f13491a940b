#pragma once

#include "OutputForm.h"
#include "PrinterLand.h"

#include <functional>
#include <memory>
#include <optional>

class CheckListReport;
class RowSet;

/// Check-List Printing: the check-list of the typed ROT No. previewed in
/// the report window, printed, or mailed as "Ledger.rtf" (RTF or PDF as the
/// settings' Eformat says); the printer, paper and orientation for it are
/// chosen here and remembered. With "Print Previewd Report" ticked, the
/// rows loaded last time are used again under the title of the ROT No. now
/// typed.
class frmCheckList : public OutputForm
{
    Q_OBJECT

public:
    explicit frmCheckList(QWidget* parent = nullptr);
    ~frmCheckList() override;

    /// The printer set-up dialog; tests answer in its place.
    using PrinterDialog =
        std::function<std::optional<PrinterLand>(QWidget* owner, const PrinterLand& current)>;
    void setPrinterDialog(PrinterDialog dialog) { printerDialog_ = std::move(dialog); }
    const PrinterLand& printer() const { return printer_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdPrint_Click();
    void cmdDprint_Click();
    void cmdPsetup_Click();
    void cmdEmail_Click();
    /// The report of the rows (read again unless the box is ticked) under
    /// the title of the ROT No. as typed; null when the rows could not be
    /// read (the failure has been shown).
    std::unique_ptr<CheckListReport> prepareReport();
    RowSet& rows();

    PrinterLand printer_;
    PrinterDialog printerDialog_;
    std::unique_ptr<RowSet> ownRows_; ///< without a main window's ReportRS
    bool placed_ = false;
};
