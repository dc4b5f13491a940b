#include "frmPrint.h"

#include "MyFunc.h"
#include "PagedReport.h"
#include "PrinterLand.h"
#include "ReportPrinting.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

namespace {

QToolButton* tool(QWidget* parent, const char* name, const QString& text, const QString& tip,
                  const QKeySequence& key = QKeySequence())
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(key.isEmpty() ? tip : tip + QStringLiteral(" (") + key.toString() + u')');
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    if (!key.isEmpty())
        b->setShortcut(key);
    return b;
}

} // namespace

frmPrint::frmPrint(QWidget* parent) : QWidget(parent), printer_(QPrinter::HighResolution)
{
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("Report"));

    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("barReport"));
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(4);
    QToolButton* first = tool(bar_, "cmdFirst", QStringLiteral("|<"), QStringLiteral("First page"),
                              QKeySequence(Qt::CTRL | Qt::Key_Home));
    QToolButton* previous = tool(bar_, "cmdPrevious", QStringLiteral("<"),
                                 QStringLiteral("Previous page"), QKeySequence(Qt::Key_PageUp));
    lblPage_ = new QLabel(bar_);
    lblPage_->setObjectName(QStringLiteral("lblPage"));
    lblPage_->setMinimumWidth(lblPage_->fontMetrics().horizontalAdvance("Page 8888 of 8888") + 8);
    lblPage_->setAlignment(Qt::AlignCenter);
    QToolButton* next = tool(bar_, "cmdNext", QStringLiteral(">"), QStringLiteral("Next page"),
                             QKeySequence(Qt::Key_PageDown));
    QToolButton* last = tool(bar_, "cmdLast", QStringLiteral(">|"), QStringLiteral("Last page"),
                             QKeySequence(Qt::CTRL | Qt::Key_End));
    cboZoom_ = new QComboBox(bar_);
    cboZoom_->setObjectName(QStringLiteral("cboZoom"));
    cboZoom_->setEditable(true);
    cboZoom_->setInsertPolicy(QComboBox::NoInsert);
    cboZoom_->setToolTip(QStringLiteral("Zoom"));
    for (const char* z : {"50%", "75%", "100%", "125%", "150%", "200%", "300%"})
        cboZoom_->addItem(QLatin1String(z));
    QToolButton* fitWidth =
        tool(bar_, "cmdFitWidth", QStringLiteral("Fit Width"), QStringLiteral("Fit to width"));
    QToolButton* fitPage =
        tool(bar_, "cmdFitPage", QStringLiteral("Fit Page"), QStringLiteral("Fit the page"));
    QToolButton* printButton = tool(bar_, "cmdPrint", QStringLiteral("&Print"),
                                    QStringLiteral("Print on the printer of Printer Setup"),
                                    QKeySequence(Qt::CTRL | Qt::Key_P));
    QToolButton* pdf =
        tool(bar_, "cmdExportPdf", QStringLiteral("PD&F"), QStringLiteral("Export to PDF"));
    QToolButton* rtf =
        tool(bar_, "cmdExportRtf", QStringLiteral("&RTF"), QStringLiteral("Export to RTF"));
    QToolButton* close = tool(bar_, "cmdExit", QStringLiteral("&Close"), QStringLiteral("Close"));
    for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(previous),
                       static_cast<QWidget*>(lblPage_), static_cast<QWidget*>(next),
                       static_cast<QWidget*>(last)})
        row->addWidget(w);
    row->addSpacing(12);
    row->addWidget(cboZoom_);
    row->addWidget(fitWidth);
    row->addWidget(fitPage);
    row->addSpacing(12);
    row->addWidget(printButton);
    row->addWidget(pdf);
    row->addWidget(rtf);
    row->addStretch(1);
    row->addWidget(close);

    viewer_ = new QPrintPreviewWidget(&printer_, this);
    viewer_->setObjectName(QStringLiteral("Viewer"));
    viewer_->setViewMode(QPrintPreviewWidget::SinglePageView);
    viewer_->setZoomMode(QPrintPreviewWidget::FitToWidth);
    if (auto* view = viewer_->findChild<QAbstractScrollArea*>())
        view->viewport()->installEventFilter(this);

    connect(viewer_, &QPrintPreviewWidget::paintRequested, this, &frmPrint::paintPages);
    connect(viewer_, &QPrintPreviewWidget::previewChanged, this, &frmPrint::showPosition);
    const auto goTo = [this](auto page) {
        return [this, page] {
            viewer_->setCurrentPage(page(viewer_->currentPage(), viewer_->pageCount()));
            showPosition();
        };
    };
    connect(first, &QToolButton::clicked, this, goTo([](int, int) { return 1; }));
    connect(previous, &QToolButton::clicked, this, goTo([](int at, int) { return at - 1; }));
    connect(next, &QToolButton::clicked, this, goTo([](int at, int) { return at + 1; }));
    connect(last, &QToolButton::clicked, this, goTo([](int, int pages) { return pages; }));
    // What was typed is taken once the list has done with the key.
    connect(cboZoom_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const QString typed = cboZoom_->lineEdit()->text();
        QTimer::singleShot(0, this, [this, typed] { zoomTo(typed); });
    });
    // The list shows no current entry, so that choosing any one zooms.
    connect(cboZoom_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            zoomTo(cboZoom_->itemText(index));
    });
    connect(fitWidth, &QToolButton::clicked, this, [this] {
        viewer_->fitToWidth();
        showPosition();
    });
    connect(fitPage, &QToolButton::clicked, this, [this] {
        viewer_->fitInView();
        showPosition();
    });
    connect(printButton, &QToolButton::clicked, this, &frmPrint::print);
    connect(pdf, &QToolButton::clicked, this, [this] {
        if (report_)
            ReportPrinting::exportAs(*report_, ReportFormat::Pdf, report_->title());
    });
    connect(rtf, &QToolButton::clicked, this, [this] {
        if (report_)
            ReportPrinting::exportAs(*report_, ReportFormat::Rtf, report_->title());
    });
    connect(close, &QToolButton::clicked, this, [this] { FormWindow(this)->close(); });

    resize(900, 700);
    showPosition();
}

frmPrint::~frmPrint() = default;

frmPrint* frmPrint::showReport(QWidget* form, std::shared_ptr<const PagedReport> report,
                               const QString& caption)
{
    QMdiArea* area = nullptr;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(FormWindow(form)))
        area = sub->mdiArea();
    frmPrint* window = nullptr;
    if (area) {
        for (QMdiSubWindow* s : area->subWindowList())
            if (auto* p = qobject_cast<frmPrint*>(s->widget()))
                window = p;
    } else if (form) {
        window = form->window()->findChild<frmPrint*>(QStringLiteral("frmPrint"),
                                                      Qt::FindDirectChildrenOnly);
    }
    if (!window) {
        window = new frmPrint;
        if (area) {
            QMdiSubWindow* sub = area->addSubWindow(window);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->setObjectName(QStringLiteral("frmPrintWindow"));
            const QSize room = area->viewport()->size();
            sub->resize(std::min(room.width(), 960), room.height());
            sub->move(std::max(0, (room.width() - sub->width()) / 2), 0);
        } else if (form) {
            // Without a main window the report window stays with the form.
            window->setParent(form->window(), Qt::Window);
            window->setAttribute(Qt::WA_DeleteOnClose);
        }
    }
    window->setWindowTitle(caption);
    window->setReport(std::move(report));
    QWidget* frame = FormWindow(window);
    ApplySkin(frame);
    if (frame->isMinimized())
        frame->showNormal();
    frame->show();
    if (area)
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(frame));
    frame->raise();
    return window;
}

void frmPrint::setReport(std::shared_ptr<const PagedReport> report)
{
    report_ = std::move(report);
    if (report_)
        printer_.setPageLayout(report_->pageLayout());
    printer_.setDocName(report_ ? report_->title() : QString());
    // The preview records every page before it shows one; the first pages
    // go first, the rest once they are on screen.
    constexpr int firstPages = 2;
    const int pages = report_ ? report_->pageCount() : 0;
    pagesPainted_ = std::min(pages, firstPages);
    allPending_ = pages > pagesPainted_;
    viewer_->updatePreview();
    viewer_->setCurrentPage(1);
    showPosition();
}

void frmPrint::paintPages(QPrinter* printer)
{
    if (!report_)
        return;
    QPainter painter(printer);
    report_->paint(painter, *printer, 1, pagesPainted_);
    for (int p = pagesPainted_ + 1; p <= report_->pageCount(); ++p)
        printer->newPage();
}

bool frmPrint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && allPending_) {
        allPending_ = false;
        QTimer::singleShot(0, this, [this] {
            if (!report_)
                return;
            pagesPainted_ = report_->pageCount();
            viewer_->updatePreview();
            showPosition();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void frmPrint::showPosition()
{
    const int pages = report_ ? viewer_->pageCount() : 0;
    lblPage_->setText(pages > 0
                          ? QStringLiteral("Page %1 of %2").arg(viewer_->currentPage()).arg(pages)
                          : QString());
    const QString zoom = QString::number(std::lround(viewer_->zoomFactor() * 100)) + u'%';
    if (!cboZoom_->lineEdit()->hasFocus()) {
        const QSignalBlocker quiet(cboZoom_);
        cboZoom_->setCurrentIndex(-1);
        cboZoom_->setEditText(zoom);
    }
}

void frmPrint::zoomTo(const QString& text)
{
    QString t = text.trimmed();
    t.remove(u'%');
    bool ok = false;
    const double percent = t.toDouble(&ok);
    if (ok && percent >= 10 && percent <= 800)
        viewer_->setZoomFactor(percent / 100);
    viewer_->setFocus();
    // The list is still handling the key or the choice: its text changes
    // after that.
    QTimer::singleShot(0, this, &frmPrint::showPosition);
}

void frmPrint::print()
{
    if (report_)
        ReportPrinting::print(*report_, PrinterLand::fromIni());
}

void frmPrint::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The viewer takes the window under the tool bar.
    const int barHeight = bar_->sizeHint().height();
    bar_->setGeometry(0, 0, width(), barHeight);
    if (height() > barHeight && width() > 0)
        viewer_->setGeometry(0, barHeight, width(), height() - barHeight);
}

void frmPrint::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        FormWindow(this)->close();
        return;
    }
    QWidget::keyPressEvent(event);
}
