#include "CheckList.h"

#include "Database.h"
#include "DbError.h"
#include "LogonState.h"
#include "Prompts.h"
#include "RowSet.h"
#include "ValueText.h"

namespace CheckList {

double egmNumber(const QString& rotText)
{
    return ValueText::leadingNumber(rotText);
}

QString title(const QString& rotText)
{
    return QStringLiteral("Check-List for ROT No. ") + rotText;
}

void readRows(RowSet& rows, std::shared_ptr<Database> db, double egmno)
{
    rows.close();
    // The bills with their containers; the bills alone when none has any.
    rows.open(db, QString::fromLatin1(joinSql), {egmno});
    if (rows.recordCount() == 0)
        rows.open(std::move(db), QString::fromLatin1(cargoSql), {egmno});
}

bool LoadCheckListRows(RowSet& rows, const QString& rotText)
{
    rows.close();
    std::shared_ptr<Database> db = logonState().Conn;
    if (!db) {
        prompts().fail(
            QStringLiteral("There is no open connection to the company database; log on first."));
        return false;
    }
    try {
        readRows(rows, std::move(db), egmNumber(rotText));
        return true;
    } catch (const DbError& e) {
        rows.close();
        prompts().message(QStringLiteral("The check-list rows could not be read from the "
                                         "database:\n") +
                              e.numberAndDescription(QStringLiteral("   ")),
                          Prompts::Buttons::Ok, Prompts::Icon::Critical);
        return false;
    }
}

namespace {

QString textOf(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

double Rows::packages() const
{
    double sum = 0;
    for (const Bill& b : bills)
        sum += b.packageCount;
    return sum;
}

QList<Volume> Rows::volumes() const
{
    QList<Volume> list;
    for (const Bill& b : bills) {
        if (b.volumeValue == 0)
            continue;
        const QString unit = b.unit.trimmed();
        auto it = std::find_if(list.begin(), list.end(), [&unit](const Volume& v) {
            return v.unit.compare(unit, Qt::CaseInsensitive) == 0;
        });
        if (it == list.end())
            list << Volume{unit, b.volumeValue};
        else
            it->total += b.volumeValue;
    }
    return list;
}

Rows billsOf(RowSet& rows)
{
    Rows out;
    if (!rows.isOpen() || rows.recordCount() == 0)
        return out;
    const auto col = [&rows](const char* name) { return rows.columnIndex(QLatin1String(name)); };
    const int id = col("id"), egmdt = col("egmdt"), sbno = col("sbno"), sbdt = col("sbdt");
    const int sbport = col("sbport"), destport = col("destport"), gateport = col("gateport");
    const int nature = col("naturecargo"), volume = col("volume"), unitvol = col("unitvol");
    const int pkgs = col("pkgs"), linecode = col("linecode"), containno = col("containno");
    const int constatus = col("constatus"), autoid = col("autoid");
    const auto value = [](const RowSet& s, int column) {
        return column < 0 ? QVariant() : s.value(column);
    };

    const int position = rows.absolutePosition();
    QVariant lastId;
    bool first = true;
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const QVariant billId = value(rows, id);
        if (first || billId != lastId || billId.isNull()) {
            first = false;
            lastId = billId;
            Bill b;
            b.sbNo = ValueText::numberText(value(rows, sbno));
            b.sbDate = ValueText::dateText(value(rows, sbdt));
            b.sbPort = textOf(value(rows, sbport));
            b.destPort = textOf(value(rows, destport));
            b.gatePort = textOf(value(rows, gateport));
            b.nature = textOf(value(rows, nature));
            b.packages = ValueText::numberText(value(rows, pkgs));
            b.volume = ValueText::numberText(value(rows, volume));
            b.unit = textOf(value(rows, unitvol));
            b.lineCode = textOf(value(rows, linecode));
            b.packageCount = ValueText::leadingNumber(b.packages);
            b.volumeValue = ValueText::leadingNumber(b.volume);
            const QString date = ValueText::dateText(value(rows, egmdt));
            if (!date.isEmpty() && !out.egmDates.contains(date))
                out.egmDates << date;
            out.bills << std::move(b);
        }
        // A bill without containers has a row whose container columns are
        // all null.
        if (!value(rows, autoid).isNull() || !value(rows, containno).isNull()) {
            out.bills.last().containers
                << Container{textOf(value(rows, containno)), textOf(value(rows, constatus))};
            ++out.containers;
        }
    }
    if (position > 0)
        rows.setAbsolutePosition(position);
    else
        rows.moveFirst();
    return out;
}

} // namespace CheckList
