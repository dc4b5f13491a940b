#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <optional>

/// The check-list's printer, paper and orientation, kept in Tarvex.ini
/// section "PrinterLand" as the printer set-up chose them: "Printer" the
/// printer's name, "Paper" the paper size code and "Orient" the orientation
/// code, both whole numbers. The codes are the classic Windows ones that
/// settings files of the older installations hold: paper 9 A4, 1 Letter,
/// 5 Legal, 8 A3, 11 A5 and so on; orientation 1 portrait, 2 landscape.
struct PrinterLand
{
    QString printer;                ///< "" for the system's default printer
    std::optional<int> paper;       ///< no value: the default, A4
    std::optional<int> orientation; ///< no value: the default, portrait

    /// Reads the three keys; a key that is missing, empty or not a whole
    /// number leaves its default.
    static PrinterLand fromIni();
    /// Writes the three keys, the codes as whole numbers (a code without a
    /// value as "").
    void toIni() const;

    /// The report's page: the paper and orientation, with the report's
    /// margins. A paper code this program does not know gives A4.
    QPageLayout pageLayout() const;
    /// The codes of a page size and orientation.
    static int paperCode(const QPageSize& size);
    static int orientationCode(QPageLayout::Orientation orientation);

    /// The printer to print on: the one named, else the system's default,
    /// else the first there is. "" with *error set when there is none, or
    /// when the one named is not among those available (printing elsewhere
    /// would send the check-list to another office's printer).
    static QString pickPrinter(const QString& named, const QStringList& available,
                               const QString& systemDefault, QString* error);

    /// The report's margins, in millimetres: room for what printers cannot
    /// reach at the edge of the sheet.
    static QMarginsF margins() { return QMarginsF(12, 10, 12, 10); }
};
