#include "ReportPrinting.h"

#include "AppPaths.h"
#include "PagedReport.h"
#include "Prompts.h"

#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace ReportPrinting {

bool print(const PagedReport& report, const PrinterLand& settings)
{
    QString error;
    const QString name =
        PrinterLand::pickPrinter(settings.printer, QPrinterInfo::availablePrinterNames(),
                                 QPrinterInfo::defaultPrinterName(), &error);
    if (name.isEmpty()) {
        prompts().warn(error);
        return false;
    }
    QPrinter printer(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    printer.setDocName(report.title());
    printer.setPageLayout(report.pageLayout());
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer)) {
        prompts().warn(QStringLiteral("The printer \"%1\" did not take the check-list. Check "
                                      "that it is on and ready, then print again.")
                           .arg(name));
        return false;
    }
    report.paint(painter, printer, 1, report.pageCount());
    return painter.end();
}

std::optional<PrinterLand> setUp(QWidget* owner, const PrinterLand& current)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!current.printer.isEmpty())
        printer.setPrinterName(current.printer);
    printer.setPageLayout(current.pageLayout());
    QPrintDialog dialog(&printer, owner);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PrinterLand chosen;
    chosen.printer =
        printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : QString();
    chosen.paper = PrinterLand::paperCode(printer.pageLayout().pageSize());
    chosen.orientation = PrinterLand::orientationCode(printer.pageLayout().orientation());
    return chosen;
}

bool exportAs(const PagedReport& report, ReportFormat format, const QString& suggestedName)
{
    const bool pdf = format == ReportFormat::Pdf;
    const QString path = prompts().saveFile(
        pdf ? QStringLiteral("Export to PDF") : QStringLiteral("Export to RTF"),
        pdf ? QStringLiteral("PDF files (*.pdf)") : QStringLiteral("Rich Text files (*.rtf)"),
        QDir(AppPaths::home()).filePath(suggestedName + (pdf ? ".pdf" : ".rtf")));
    if (path.isEmpty())
        return false;
    QString error;
    if (!saveReport(report, format, path, &error)) {
        prompts().fail(error);
        return false;
    }
    return true;
}

} // namespace ReportPrinting
