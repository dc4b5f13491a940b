#pragma once

#include "EgmCheck.h"

#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/// Check EGM: the findings of the check for the typed ROT No. and EGM
/// date, errors first; Enter or a double-click on one asks for its bill in
/// Cargo Information (billRequested). The list prints, and exports as PDF
/// or CSV.
class frmCheckEgm : public QWidget
{
    Q_OBJECT

public:
    explicit frmCheckEgm(QWidget* parent = nullptr);

    const QList<EgmCheck::Finding>& findings() const { return findings_; }

    /// The findings as CSV (severity, SB No., container, field, message),
    /// with a header line; a field holding a comma, a quote or a line break
    /// quoted.
    static QByteArray csv(const QList<EgmCheck::Finding>& findings);

signals:
    /// The clerk wants to see the bill of a finding: the main window opens
    /// Cargo Information on it.
    void billRequested(qint64 id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdCheck_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void cmdCsv_Click();
    void openFinding(QTreeWidgetItem* item);
    void setOutputsEnabled(bool enabled);

    QLineEdit* txtRotNo;
    QLineEdit* txtEgmDate;
    QPushButton* cmdCheck;
    QPushButton* cmdPrint;
    QPushButton* cmdPdf;
    QPushButton* cmdCsv;
    QPushButton* cmdExit;
    QLabel* lblResult;
    QTreeWidget* lstFindings;

    QList<EgmCheck::Finding> findings_;
    QString checkedRot_;
    std::optional<QDate> checkedDate_;
};
