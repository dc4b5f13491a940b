#include "PrinterLand.h"

#include "Settings.h"

namespace {

const QString section = QStringLiteral("PrinterLand");

std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

QString codeText(const std::optional<int>& code)
{
    return code ? QString::number(*code) : QString();
}

} // namespace

PrinterLand PrinterLand::fromIni()
{
    PrinterLand p;
    p.printer = ReadIni(section, QStringLiteral("Printer"));
    p.paper = wholeNumber(ReadIni(section, QStringLiteral("Paper")));
    p.orientation = wholeNumber(ReadIni(section, QStringLiteral("Orient")));
    return p;
}

void PrinterLand::toIni() const
{
    WriteIni(section, QStringLiteral("Printer"), printer);
    WriteIni(section, QStringLiteral("Paper"), codeText(paper));
    WriteIni(section, QStringLiteral("Orient"), codeText(orientation));
}

QPageLayout PrinterLand::pageLayout() const
{
    QPageSize size(QPageSize::A4);
    if (paper && *paper > 0) {
        const QPageSize::PageSizeId id = QPageSize::id(*paper);
        // id() gives Custom for a code it does not know.
        if (id != QPageSize::Custom)
            size = QPageSize(id);
    }
    const QPageLayout::Orientation o =
        orientation && *orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(size, o, margins(), QPageLayout::Millimeter);
}

int PrinterLand::paperCode(const QPageSize& size)
{
    return size.windowsId();
}

int PrinterLand::orientationCode(QPageLayout::Orientation orientation)
{
    return orientation == QPageLayout::Landscape ? 2 : 1;
}

QString PrinterLand::pickPrinter(const QString& named, const QStringList& available,
                                 const QString& systemDefault, QString* error)
{
    if (available.isEmpty()) {
        *error = QStringLiteral("No printer is set up on this computer, so the check-list cannot "
                                "be printed. Print Preview shows it and saves it as PDF.");
        return QString();
    }
    if (!named.isEmpty()) {
        if (available.contains(named))
            return named;
        *error = QStringLiteral("The printer \"%1\" chosen in Printer Setup is not available. "
                                "Choose a printer in Printer Setup.")
                     .arg(named);
        return QString();
    }
    return !systemDefault.isEmpty() && available.contains(systemDefault) ? systemDefault
                                                                         : available.first();
}
