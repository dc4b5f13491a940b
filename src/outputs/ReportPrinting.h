#pragma once

#include "PagedReport.h"
#include "PrinterLand.h"

#include <QString>
#include <optional>

class QWidget;

/// A report on paper and in files, for the screens that show reports.
namespace ReportPrinting {

/// Prints the report on the printer of the settings (PrinterLand), or the
/// system's default when none is named. With no printer, or one that cannot
/// start the job, a message says so and nothing waits. True when printed.
bool print(const PagedReport& report, const PrinterLand& printer);

/// The printer set-up dialog (printer, paper, orientation), owned by owner
/// and opened on the current choice; no value when cancelled.
std::optional<PrinterLand> setUp(QWidget* owner, const PrinterLand& current);

/// Asks where to save the report as PDF or RTF and saves it there; a
/// failure is shown. True when saved.
bool exportAs(const PagedReport& report, ReportFormat format, const QString& suggestedName);

} // namespace ReportPrinting
