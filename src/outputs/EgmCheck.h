#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Database;

/// The check of one EGM before its flat file is filed: what Customs would
/// reject or hold (a wrong container number, a bill entered twice, a
/// containerised bill without containers, a port that does not exist...),
/// found in what is stored. Each finding names its bill, the container where
/// there is one, the field and what is wrong in a clerk's words.
///
/// The rules are a table of small named rules (rules()); each reads the EGM
/// as read() holds it and adds its findings. A clean bill gives no finding:
/// a check that cries wolf would soon be ignored.
namespace EgmCheck {

enum class Severity
{
    Error,   ///< Customs rejects or holds it
    Warning, ///< worth a look; the file may well be right
};

struct Finding
{
    Severity severity = Severity::Error;
    qint64 billId = 0;
    QString sbNo;      ///< as the screens show it; "" when the bill has none
    QString container; ///< "" when the finding is about the bill
    QString field;     ///< the column: "containno", "sbdt", "destport", ...
    QString message;   ///< what is wrong, a sentence for the clerk

    bool isError() const { return severity == Severity::Error; }
    /// "error" or "warning".
    QString severityText() const;
};

/// One shipping bill as the rules read it.
struct Bill
{
    qint64 id = 0;
    std::optional<double> sbNo; ///< none when null
    std::optional<QDate> sbDate;
    QString sbDateText; ///< a stored date that is no date, as stored
    std::optional<QDate> egmDate;
    QString sbPort, destPort, gatePort, nature, unit;
    std::optional<double> volume, packages;

    QString sbNoText() const;
    bool containerised() const;
};

/// The EGM as the rules read it: its bills in id order and their containers,
/// the port list, and the other EGMs holding one of its SB Nos.
class Egm
{
public:
    QString rotText;              ///< the ROT No. as typed
    std::optional<QDate> egmDate; ///< the date the file will carry; none: each bill's own
    QDate today;
    std::vector<Bill> bills;
    QSet<QString> ports; ///< d_port_cd.port_cd, without trailing blanks
    /// SB No. to the ROT Nos. of the other EGMs that hold it.
    QHash<double, QStringList> elsewhere;

    /// Adds a container to bills[bill]. The texts are kept in one block:
    /// 200,000 containers cost a few megabytes, not a string pair each.
    void addContainer(int bill, QByteArrayView number, QByteArrayView status);
    qsizetype containerCount() const { return qsizetype(boxes_.size()); }
    int containerBill(qsizetype i) const { return boxes_[size_t(i)].bill; }
    QByteArrayView containerNumber(qsizetype i) const;
    QByteArrayView containerStatus(qsizetype i) const;
    /// Containers per bill, by bill index.
    const std::vector<int>& containersPerBill() const;
    /// The containers whose number another container has too, a group per
    /// number in the order of the numbers; each group in the order of its
    /// bills, then as entered.
    const std::vector<std::vector<int>>& sharedNumbers() const;

private:
    struct Box
    {
        int bill;
        int at;
        int numberSize;
        int statusSize;
    };
    std::vector<Box> boxes_;
    QByteArray text_;
    mutable std::vector<int> perBill_;
    mutable std::vector<std::vector<int>> shared_;
    mutable bool sharedKnown_ = false;
};

/// One rule: a name for the tests and the list, and what it finds.
struct Rule
{
    const char* name;
    void (*apply)(const Egm& egm, QList<Finding>& findings);
};

/// Every rule, errors first.
const std::vector<Rule>& rules();

/// The findings of every rule, errors first, each severity in the order of
/// the bills.
QList<Finding> check(const Egm& egm);

/// Reads the EGM (its bills, their containers, the port list and the SB
/// Nos. held elsewhere) from one state of the database. Throws DbError.
Egm read(Database& db, const QString& rotText, const std::optional<QDate>& egmDate,
         const QDate& today = QDate::currentDate());

/// "2 errors, 1 warning"; for no finding at all "ROT No. 123: no error and no
/// warning, ready to be filed".
QString summary(const QString& rotText, const QList<Finding>& findings);
/// "error  SB 5001  container MSKU1234565  check digit should be 6": a
/// finding on one line, as the command line prints it.
QString line(const Finding& f);

/// Before the flat file is written for the typed ROT No. and EGM date, on
/// the logged-on company's connection: errors are shown with the question
/// whether to write the file anyway (No by default); warnings are listed
/// and the file is written. True when the file is to be written. A date
/// that is no date, an EGM without bills or a failed read are left to the
/// writer, which stops with its own message.
bool confirmFiling(const QString& rotText, const QString& dateText);

} // namespace EgmCheck
