#include "EgmCheck.h"

#include "Cell.h"
#include "ContainerNumber.h"
#include "Database.h"
#include "DbError.h"
#include "EgmExport.h"
#include "LogonState.h"
#include "Prompts.h"
#include "RowCursor.h"
#include "ValueText.h"

#include <algorithm>

namespace EgmCheck {

namespace {

const QString kBillSql = QStringLiteral(
    "select id,egmdt,sbno,sbdt,sbport,destport,gateport,naturecargo,volume,unitvol,pkgs from "
    "egmcargo where egmcargo.egmno=? order by egmcargo.id");
const QString kBoxSql = QStringLiteral(
    "select egmcontain.ref,egmcontain.containno,egmcontain.constatus from egmcontain,egmcargo "
    "where egmcontain.ref=egmcargo.id and egmcargo.egmno=? order by egmcargo.rowid,"
    "egmcontain.rowid");
const QString kPortSql = QStringLiteral("select port_cd from d_port_cd");
// Through the index on sbno: the EGM's own SB Nos. looked up among the others.
const QString kElsewhereSql = QStringLiteral(
    "select sbno,egmno from egmcargo where egmno<>? and sbno in (select sbno from egmcargo where "
    "egmno=?) order by egmno");

QString dateText(const QDate& d)
{
    return ValueText::dateText(d);
}

QString shown(QByteArrayView utf8)
{
    return QString::fromUtf8(utf8);
}

Finding finding(Severity s, const Bill& b, const char* field, const QString& message,
                const QString& container = QString())
{
    return {s, b.id, b.sbNoText(), container, QString::fromLatin1(field), message};
}

/// The date a bill's lines will carry: the typed one, else its own.
std::optional<QDate> fileDate(const Egm& egm, const Bill& b)
{
    return egm.egmDate ? egm.egmDate : b.egmDate;
}

bool blank(const QString& s)
{
    return s.trimmed().isEmpty();
}

bool zero(const std::optional<double>& v)
{
    return !v || *v == 0;
}

// ---- errors -------------------------------------------------------------

void containerNumbers(const Egm& egm, QList<Finding>& out)
{
    for (qsizetype i = 0; i < egm.containerCount(); ++i) {
        const QByteArrayView number = egm.containerNumber(i);
        const ContainerNumber::Result r = ContainerNumber::check(number);
        if (r.valid())
            continue;
        const Bill& b = egm.bills[size_t(egm.containerBill(i))];
        const Severity s = r.verdict == ContainerNumber::Verdict::NoCheckDigit ? Severity::Warning
                                                                               : Severity::Error;
        out << finding(s, b, "containno", r.reason, shown(number));
    }
}

/// Container indices by number, then bill, then as entered.
QString statusOf(const Egm& egm, int i)
{
    return shown(egm.containerStatus(i)).trimmed().toUpper();
}

void sameContainerTwice(const Egm& egm, QList<Finding>& out)
{
    for (const std::vector<int>& group : egm.sharedNumbers())
        for (size_t i = 1; i < group.size(); ++i) {
            const int a = group[i - 1], b = group[i];
            if (egm.containerBill(a) == egm.containerBill(b))
                out << finding(Severity::Error, egm.bills[size_t(egm.containerBill(b))],
                               "containno",
                               QStringLiteral("container is entered twice on this bill"),
                               shown(egm.containerNumber(b)));
        }
}

/// Consolidated cargo puts one container on several bills, all with the
/// same status: only a status that differs is wrong.
void containerStatusAcrossBills(const Egm& egm, QList<Finding>& out)
{
    for (const std::vector<int>& group : egm.sharedNumbers()) {
        const int first = group.front();
        const QString status = statusOf(egm, first);
        for (size_t k = 1; k < group.size(); ++k) {
            const int c = group[k];
            if (egm.containerBill(c) == egm.containerBill(first) || statusOf(egm, c) == status)
                continue;
            const Bill& firstBill = egm.bills[size_t(egm.containerBill(first))];
            out << finding(Severity::Error, egm.bills[size_t(egm.containerBill(c))], "constatus",
                           QStringLiteral("container status is %1 here but %2 on SB %3")
                               .arg(statusOf(egm, c), status, firstBill.sbNoText()),
                           shown(egm.containerNumber(c)));
        }
    }
}

void sameShippingBillTwice(const Egm& egm, QList<Finding>& out)
{
    std::vector<int> order;
    for (int i = 0; i < int(egm.bills.size()); ++i)
        if (!zero(egm.bills[size_t(i)].sbNo) && egm.bills[size_t(i)].sbDate)
            order.push_back(i);
    const auto key = [&egm](int i) {
        const Bill& b = egm.bills[size_t(i)];
        return std::make_pair(*b.sbNo, b.sbDate->toJulianDay());
    };
    std::stable_sort(order.begin(), order.end(), [&key](int a, int b) { return key(a) < key(b); });
    for (size_t i = 1; i < order.size(); ++i) {
        if (key(order[i]) != key(order[i - 1]))
            continue;
        const Bill& b = egm.bills[size_t(order[i])];
        out << finding(Severity::Error, b, "sbno",
                       QStringLiteral("SB No. %1 of %2 is entered on another bill of this EGM too")
                           .arg(b.sbNoText(), dateText(*b.sbDate)));
    }
}

void containersMatchNature(const Egm& egm, QList<Finding>& out)
{
    const std::vector<int>& count = egm.containersPerBill();
    for (size_t i = 0; i < egm.bills.size(); ++i) {
        const Bill& b = egm.bills[i];
        if (blank(b.nature))
            continue; // a missing nature is reported as missing
        if (b.containerised() && count[i] == 0)
            out << finding(Severity::Error, b, "containno",
                           QStringLiteral("containerised cargo (nature %1) without containers")
                               .arg(b.nature.trimmed()));
        else if (!b.containerised() && count[i] > 0)
            out << finding(Severity::Error, b, "naturecargo",
                           QStringLiteral("cargo of nature %1 has %2 container(s); only "
                                          "containerised cargo (C, CP) has containers")
                               .arg(b.nature.trimmed())
                               .arg(count[i]));
    }
}

void requiredFields(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills) {
        if (zero(b.sbNo))
            out << finding(Severity::Error, b, "sbno", QStringLiteral("SB No. is missing"));
        if (!b.sbDate && b.sbDateText.isEmpty())
            out << finding(Severity::Error, b, "sbdt", QStringLiteral("SB date is missing"));
        else if (!b.sbDate)
            out << finding(Severity::Error, b, "sbdt",
                           QStringLiteral("SB date \"%1\" is not a date").arg(b.sbDateText));
        if (blank(b.nature))
            out << finding(Severity::Error, b, "naturecargo",
                           QStringLiteral("nature of cargo is missing"));
        if (blank(b.destPort))
            out << finding(Severity::Error, b, "destport",
                           QStringLiteral("destination port is missing"));
        if (blank(b.nature))
            continue;
        if (b.containerised()) {
            if (zero(b.packages))
                out << finding(Severity::Error, b, "pkgs",
                               QStringLiteral("number of packages is missing"));
        } else {
            if (zero(b.volume))
                out << finding(Severity::Error, b, "volume", QStringLiteral("volume is missing"));
            else if (blank(b.unit))
                out << finding(Severity::Error, b, "unitvol",
                               QStringLiteral("unit of the volume is missing"));
        }
    }
}

void shippingBillDateNotLater(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills) {
        if (!b.sbDate)
            continue;
        const std::optional<QDate> egmDate = fileDate(egm, b);
        if (egmDate && *b.sbDate > *egmDate)
            out << finding(Severity::Error, b, "sbdt",
                           QStringLiteral("SB date %1 is after the EGM date %2")
                               .arg(dateText(*b.sbDate), dateText(*egmDate)));
        else if (*b.sbDate > egm.today)
            out << finding(Severity::Error, b, "sbdt",
                           QStringLiteral("SB date %1 is after today").arg(dateText(*b.sbDate)));
    }
}

void destinationPortKnown(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills)
        if (!blank(b.destPort) && !egm.ports.contains(b.destPort))
            out << finding(
                Severity::Error, b, "destport",
                QStringLiteral("destination port \"%1\" is not in the port list").arg(b.destPort));
}

// ---- warnings -----------------------------------------------------------

void shippingBillInOtherEgm(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills) {
        if (zero(b.sbNo))
            continue;
        const auto it = egm.elsewhere.constFind(*b.sbNo);
        if (it == egm.elsewhere.cend())
            continue;
        QStringList rots = it->mid(0, 3);
        if (it->size() > 3)
            rots << QStringLiteral("...");
        out << finding(Severity::Warning, b, "sbno",
                       QStringLiteral("SB No. %1 is also entered under ROT No. %2")
                           .arg(b.sbNoText(), rots.join(QStringLiteral(", "))));
    }
}

void shippingBillDateNotOld(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills) {
        const std::optional<QDate> egmDate = fileDate(egm, b);
        if (b.sbDate && egmDate && *b.sbDate < egmDate->addMonths(-6))
            out << finding(Severity::Warning, b, "sbdt",
                           QStringLiteral("SB date %1 is more than 6 months before the EGM date "
                                          "%2")
                               .arg(dateText(*b.sbDate), dateText(*egmDate)));
    }
}

/// One finding per stored date, on its first bill: a whole EGM typed under
/// another date is one thing to look at, not thousands.
void storedEgmDate(const Egm& egm, QList<Finding>& out)
{
    if (egm.bills.empty())
        return;
    std::optional<QDate> carried = egm.egmDate;
    if (!carried) {
        // Without a typed date the most common stored one stands for the EGM's.
        QHash<qint64, int> counts;
        for (const Bill& b : egm.bills)
            if (b.egmDate)
                ++counts[b.egmDate->toJulianDay()];
        qint64 best = 0;
        int most = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most || (it.value() == most && it.key() < best)) {
                best = it.key();
                most = it.value();
            }
        if (most == 0)
            return;
        carried = QDate::fromJulianDay(best);
    }
    struct Group
    {
        const Bill* first;
        int count;
    };
    QList<std::pair<std::optional<QDate>, Group>> groups;
    for (const Bill& b : egm.bills) {
        if (b.egmDate == carried)
            continue;
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&b](const auto& g) { return g.first == b.egmDate; });
        if (it == groups.end())
            groups.append({b.egmDate, Group{&b, 1}});
        else
            ++it->second.count;
    }
    for (const auto& [date, group] : groups) {
        const QString stored = date ? QStringLiteral("stored EGM date %1").arg(dateText(*date))
                                    : QStringLiteral("no stored EGM date");
        const QString bills = group.count == 1
                                  ? QStringLiteral("this bill")
                                  : QStringLiteral("%1 bills, this the first").arg(group.count);
        out << finding(Severity::Warning, *group.first, "egmdt",
                       QStringLiteral("%1 (%2); the file will carry %3")
                           .arg(stored, bills, dateText(*carried)));
    }
}

bool customsCode(const QString& s)
{
    if (s.size() != 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        const QChar c = s[i];
        const bool letter = c >= u'A' && c <= u'Z';
        const bool digit = c >= u'0' && c <= u'9';
        if ((i < 2 && !letter) || (i >= 2 && i < 5 && !letter && !digit) || (i == 5 && !digit))
            return false;
    }
    return true;
}

void portCodeForm(const Egm& egm, QList<Finding>& out)
{
    for (const Bill& b : egm.bills) {
        const std::pair<const char*, const QString*> ports[] = {{"sbport", &b.sbPort},
                                                                {"gateport", &b.gatePort}};
        for (const auto& [field, value] : ports) {
            if (customsCode(*value))
                continue;
            const QString what = QLatin1String(field) == QLatin1String("sbport")
                                     ? QStringLiteral("port of shipment")
                                     : QStringLiteral("gateway port");
            out << finding(Severity::Warning, b, field,
                           QStringLiteral("%1 \"%2\" is not a 6-character customs code (as "
                                          "INIXY1)")
                               .arg(what, *value));
        }
    }
}

QString billDateText(const Cell& c, std::optional<QDate>* date)
{
    if (c.kind == Cell::Kind::Date) {
        *date = c.date.date();
        return QString();
    }
    if (c.kind == Cell::Kind::Text)
        return QString::fromUtf8(c.text);
    return c.isNull() ? QString() : c.toVariant().toString();
}

std::optional<double> numberOf(const Cell& c)
{
    switch (c.kind) {
    case Cell::Kind::Null:
        return std::nullopt;
    case Cell::Kind::Integer:
    case Cell::Kind::Boolean:
        return double(c.integer);
    case Cell::Kind::Real:
        return c.real;
    case Cell::Kind::Text:
        return ValueText::leadingNumber(c.text);
    case Cell::Kind::Date:
        break;
    }
    return std::nullopt;
}

QString textOf(const Cell& c)
{
    if (c.kind == Cell::Kind::Text)
        return QString::fromUtf8(c.text);
    return c.isNull() ? QString() : c.toVariant().toString();
}

/// A text column's bytes as they stand; another value in its text form.
QByteArrayView bytesOf(const Cell& c, QByteArray& storage)
{
    if (c.kind == Cell::Kind::Text)
        return c.text;
    storage = textOf(c).toUtf8();
    return storage;
}

} // namespace

QString Finding::severityText() const
{
    return isError() ? QStringLiteral("error") : QStringLiteral("warning");
}

QString Bill::sbNoText() const
{
    return sbNo ? ValueText::numberText(*sbNo) : QString();
}

bool Bill::containerised() const
{
    const QString n = nature.trimmed().toUpper();
    return n == QLatin1String("C") || n == QLatin1String("CP");
}

void Egm::addContainer(int bill, QByteArrayView number, QByteArrayView status)
{
    boxes_.push_back({bill, int(text_.size()), int(number.size()), int(status.size())});
    text_.append(number);
    text_.append(status);
    perBill_.clear();
    sharedKnown_ = false;
}

QByteArrayView Egm::containerNumber(qsizetype i) const
{
    const Box& b = boxes_[size_t(i)];
    return QByteArrayView(text_).sliced(b.at, b.numberSize);
}

QByteArrayView Egm::containerStatus(qsizetype i) const
{
    const Box& b = boxes_[size_t(i)];
    return QByteArrayView(text_).sliced(b.at + b.numberSize, b.statusSize);
}

const std::vector<int>& Egm::containersPerBill() const
{
    if (perBill_.size() != bills.size()) {
        perBill_.assign(bills.size(), 0);
        for (const Box& b : boxes_)
            ++perBill_[size_t(b.bill)];
    }
    return perBill_;
}

const std::vector<std::vector<int>>& Egm::sharedNumbers() const
{
    if (sharedKnown_)
        return shared_;
    // One pass through a hash: a number seen once stands for its container
    // (as -1 - index), one seen again for its group.
    QHash<QByteArrayView, int> seen;
    seen.reserve(qsizetype(boxes_.size()));
    std::vector<std::vector<int>> groups;
    for (int i = 0; i < int(boxes_.size()); ++i) {
        const QByteArrayView number = containerNumber(i);
        if (number.isEmpty())
            continue;
        const auto it = seen.find(number);
        if (it == seen.end()) {
            seen.insert(number, -1 - i);
            continue;
        }
        if (*it < 0) {
            groups.push_back({-1 - *it});
            *it = int(groups.size()) - 1;
        }
        groups[size_t(*it)].push_back(i);
    }
    for (std::vector<int>& g : groups)
        std::sort(g.begin(), g.end(), [this](int a, int b) {
            return containerBill(a) != containerBill(b) ? containerBill(a) < containerBill(b)
                                                        : a < b;
        });
    std::sort(groups.begin(), groups.end(), [this](const auto& a, const auto& b) {
        return containerNumber(a.front()).compare(containerNumber(b.front())) < 0;
    });
    shared_ = std::move(groups);
    sharedKnown_ = true;
    return shared_;
}

const std::vector<Rule>& rules()
{
    static const std::vector<Rule> all = {
        {"containerNumbers", containerNumbers},
        {"sameContainerTwice", sameContainerTwice},
        {"containerStatusAcrossBills", containerStatusAcrossBills},
        {"sameShippingBillTwice", sameShippingBillTwice},
        {"containersMatchNature", containersMatchNature},
        {"requiredFields", requiredFields},
        {"shippingBillDateNotLater", shippingBillDateNotLater},
        {"destinationPortKnown", destinationPortKnown},
        {"shippingBillInOtherEgm", shippingBillInOtherEgm},
        {"shippingBillDateNotOld", shippingBillDateNotOld},
        {"storedEgmDate", storedEgmDate},
        {"portCodeForm", portCodeForm},
    };
    return all;
}

QList<Finding> check(const Egm& egm)
{
    QList<Finding> all;
    for (const Rule& r : rules())
        r.apply(egm, all);
    QHash<qint64, int> position;
    for (int i = 0; i < int(egm.bills.size()); ++i)
        position.insert(egm.bills[size_t(i)].id, i);
    std::stable_sort(all.begin(), all.end(), [&position](const Finding& a, const Finding& b) {
        if (a.severity != b.severity)
            return a.severity < b.severity;
        return position.value(a.billId) < position.value(b.billId);
    });
    return all;
}

Egm read(Database& db, const QString& rotText, const std::optional<QDate>& egmDate,
         const QDate& today)
{
    const double egmno = EgmExport::egmNumber(rotText);
    Egm egm;
    egm.rotText = rotText;
    egm.egmDate = egmDate;
    egm.today = today;
    const Database::Transaction snapshot(db, Database::Transaction::Read);
    QHash<qint64, int> billOf;
    {
        const auto rows = RowCursor::open(db, kBillSql, {egmno});
        while (rows->next()) {
            Bill b;
            b.id = qint64(numberOf(rows->cell(0)).value_or(0));
            std::optional<QDate> stored;
            billDateText(rows->cell(1), &stored);
            b.egmDate = stored;
            b.sbNo = numberOf(rows->cell(2));
            b.sbDateText = billDateText(rows->cell(3), &b.sbDate);
            b.sbPort = textOf(rows->cell(4));
            b.destPort = textOf(rows->cell(5));
            b.gatePort = textOf(rows->cell(6));
            b.nature = textOf(rows->cell(7));
            b.volume = numberOf(rows->cell(8));
            b.unit = textOf(rows->cell(9));
            b.packages = numberOf(rows->cell(10));
            billOf.insert(b.id, int(egm.bills.size()));
            egm.bills.push_back(std::move(b));
        }
    }
    if (egm.bills.empty())
        return egm;
    {
        const auto rows = RowCursor::open(db, kBoxSql, {egmno});
        QByteArray number, status;
        while (rows->next()) {
            const auto it = billOf.constFind(qint64(numberOf(rows->cell(0)).value_or(0)));
            if (it == billOf.cend())
                continue;
            egm.addContainer(*it, bytesOf(rows->cell(1), number), bytesOf(rows->cell(2), status));
        }
    }
    {
        const auto rows = RowCursor::open(db, kPortSql);
        while (rows->next()) {
            QString code = textOf(rows->cell(0));
            while (code.endsWith(u' '))
                code.chop(1);
            egm.ports.insert(code);
        }
    }
    {
        const auto rows = RowCursor::open(db, kElsewhereSql, {egmno, egmno});
        while (rows->next()) {
            const std::optional<double> sbno = numberOf(rows->cell(0));
            const std::optional<double> other = numberOf(rows->cell(1));
            if (!sbno || !other)
                continue;
            QStringList& rots = egm.elsewhere[*sbno];
            const QString rot = ValueText::numberText(*other);
            if (!rots.contains(rot))
                rots << rot;
        }
    }
    return egm;
}

QString summary(const QString& rotText, const QList<Finding>& findings)
{
    const qsizetype errors = std::count_if(findings.begin(), findings.end(),
                                           [](const Finding& f) { return f.isError(); });
    const qsizetype warnings = findings.size() - errors;
    const QString rot = rotText.trimmed();
    if (findings.isEmpty())
        return QStringLiteral("ROT No. %1: no error and no warning, ready to be filed.").arg(rot);
    const auto count = [](qsizetype n, const char* one) {
        return QStringLiteral("%1 %2%3")
            .arg(n)
            .arg(QLatin1String(one))
            .arg(n == 1 ? QString() : QStringLiteral("s"));
    };
    return QStringLiteral("ROT No. %1: %2, %3.")
        .arg(rot, count(errors, "error"), count(warnings, "warning"));
}

QString line(const Finding& f)
{
    QString s = f.severityText() + QStringLiteral("  SB ") +
                (f.sbNo.isEmpty() ? QStringLiteral("-") : f.sbNo);
    if (!f.container.isEmpty())
        s += QStringLiteral("  container ") + f.container;
    return s + QStringLiteral("  ") + f.message;
}

bool confirmFiling(const QString& rotText, const QString& dateText)
{
    const std::optional<QDate> date = ValueText::parseDate(dateText);
    Database* db = logonState().Conn.get();
    if (!date || !db)
        return true;
    QList<Finding> findings;
    try {
        findings = check(read(*db, rotText, date));
    } catch (const DbError&) {
        return true; // the writer reads again and reports the failure
    }
    if (findings.isEmpty())
        return true;
    constexpr int shownLines = 15;
    QStringList lines;
    for (int i = 0; i < findings.size() && i < shownLines; ++i)
        lines << line(findings[i]);
    if (findings.size() > shownLines)
        lines << QStringLiteral("... and %1 more (Reports > Check EGM lists them all)")
                     .arg(findings.size() - shownLines);
    const QString text = summary(rotText, findings) + QStringLiteral("\n\n") + lines.join(u'\n');
    if (!findings.first().isError()) {
        prompts().warn(text);
        return true;
    }
    return prompts().question(text + QStringLiteral("\n\nWrite the file anyway?"),
                              Prompts::Buttons::YesNo, Prompts::No,
                              Prompts::Icon::Warning) == Prompts::Yes;
}

} // namespace EgmCheck
