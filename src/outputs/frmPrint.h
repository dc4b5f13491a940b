#pragma once

#include <QPrinter>
#include <QWidget>
#include <memory>

class PagedReport;
class QComboBox;
class QLabel;
class QPrintPreviewWidget;
class QToolButton;

/// The report window: a report's pages on screen (Viewer), with page
/// buttons and "Page n of m", zoom, fit to width and to the page, print, and
/// export to PDF and RTF. A child window of the main window like the
/// screens, captioned "Report" until a report names it.
class frmPrint : public QWidget
{
    Q_OBJECT

public:
    explicit frmPrint(QWidget* parent = nullptr);
    ~frmPrint() override;

    /// Shows a report in the report window that belongs with form: the one
    /// open in form's main window, else a new one there (a window of its
    /// own when form has no main window). Returns the window.
    static frmPrint* showReport(QWidget* form, std::shared_ptr<const PagedReport> report,
                                const QString& caption);

    void setReport(std::shared_ptr<const PagedReport> report);
    std::shared_ptr<const PagedReport> report() const { return report_; }
    QPrintPreviewWidget* viewer() const { return viewer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintPages(QPrinter* printer);
    void showPosition();
    void zoomTo(const QString& text);
    void print();

    std::shared_ptr<const PagedReport> report_;
    /// Pages painted into the preview; the others are blank until the
    /// first page has been shown, so a long report is on screen at once.
    int pagesPainted_ = 0;
    bool allPending_ = false;
    QPrinter printer_;
    QWidget* bar_;
    QPrintPreviewWidget* viewer_;
    QLabel* lblPage_;
    QComboBox* cboZoom_;
};
