#include "ContainerGrid.h"

#include "ContainerNumber.h"
#include "Database.h"
#include "Prompts.h"
#include "ValueText.h"

ContainerGrid::ContainerGrid(QObject* parent) : QAbstractTableModel(parent)
{
    setRows(MinimumRows);
}

void ContainerGrid::setRows(int n)
{
    beginResetModel();
    cells_ = QList<Cells>(n);
    endResetModel();
}

void ContainerGrid::empty()
{
    setRows(0);
}

void ContainerGrid::ensureRows()
{
    if (cells_.isEmpty())
        setRows(MinimumRows);
}

QString ContainerGrid::text(int row, int column) const
{
    if (row < 1 || row > rows() || column < 1 || column > 4)
        return QString();
    return cells_[row - 1][column - 1];
}

void ContainerGrid::setText(int row, int column, const QString& text)
{
    if (row < 1 || row > rows() || column < 1 || column > 4)
        return;
    cells_[row - 1][column - 1] = text;
    const QModelIndex at = index(row - 1, column - 1);
    emit dataChanged(at, at);
}

void ContainerGrid::removeGridRow(int row)
{
    if (row < 1 || row > rows())
        return;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    cells_.removeAt(row - 1);
    endRemoveRows();
}

qint64 ContainerGrid::autoid(int row) const
{
    return qint64(ValueText::leadingNumber(text(row, Autoid)));
}

void ContainerGrid::FillContainerGrid(Database& db, qint64 ref)
{
    const RowTable t = db.select(QStringLiteral("select autoid, ref, containno, constatus from "
                                                "egmcontain where ref = ? order by autoid"),
                                 {ref});
    const int n = int(t.rows.size());
    beginResetModel();
    cells_ = QList<Cells>(n < MinimumRows ? MinimumRows : n + SpareRows);
    for (int i = 0; i < n; ++i) {
        const RowValues& r = t.rows[i];
        cells_[i] = {ValueText::numberText(r.value(1)), r.value(2).toString(),
                     r.value(3).toString(), ValueText::numberText(r.value(0))};
    }
    endResetModel();
}

bool ContainerGrid::endOfEdit(Database& db, int row, int column, QString* why)
{
    bool accepted = true;
    QString reason;
    const QString cell = text(row, column);
    if (column == ContainerNo) {
        const int length = int(cell.trimmed().size());
        accepted = length >= 10 && length <= 11;
        reason = QStringLiteral("Container No.: 10 or 11 characters, as CSQU3054383");
    } else if (column == Status) {
        // The typed text is a bound value: a quote in it is simply not found.
        accepted = !db.select(QStringLiteral("select cs_cd from constatus where cs_cd = ?"), {cell})
                        .rows.isEmpty();
        reason = QStringLiteral("Status: a status of the list, E (empty) or F (full)");
    }
    if (why) {
        *why = accepted ? QString() : reason;
        // A number of the right length but not of the ISO 6346 form is kept;
        // the clerk is told what the check of the EGM will say of it.
        if (accepted && column == ContainerNo) {
            const ContainerNumber::Result advice = ContainerNumber::check(cell);
            if (advice.verdict == ContainerNumber::Verdict::WrongForm ||
                advice.verdict == ContainerNumber::Verdict::WrongCheckDigit)
                *why = QStringLiteral("Container No.: %1 (kept)").arg(advice.reason);
        }
    }
    if (column == ContainerNo && row > 1 && text(row, Status).isEmpty())
        setText(row, Status, text(row - 1, Status));
    return accepted;
}

bool ContainerGrid::CheckContainerRows() const
{
    for (int r = 1; r <= rows(); ++r) {
        const QString number = text(r, ContainerNo);
        if (number.isEmpty())
            continue;
        const QString status = text(r, Status);
        QString problem;
        if (number.size() < 10 || number.size() > 11)
            problem = QStringLiteral("Check Container No. Value");
        else if (status.size() != 1)
            problem = QStringLiteral("Status should be 1 Characters");
        else if (status != QLatin1String("E") && status != QLatin1String("F"))
            problem = QStringLiteral("Container Status should be (E)mpty / (F)ull");
        if (!problem.isEmpty()) {
            prompts().message(QStringLiteral("Row %1: ").arg(r) + problem, Prompts::Buttons::Ok,
                              Prompts::Icon::Information);
            return false;
        }
    }
    return true;
}

int ContainerGrid::SaveContainerRows(Database& db, qint64 ref) const
{
    int written = 0;
    QList<RowValues> added; // in one go: one round trip to a server, not one each
    for (int r = 1; r <= rows(); ++r) {
        const QString number = text(r, ContainerNo);
        if (number.isEmpty())
            continue;
        const QString status = text(r, Status);
        const qint64 id = autoid(r);
        bool stored = false;
        if (id > 0) {
            // A stored container is updated, and moves to this shipping bill.
            const QSqlQuery q = db.exec(QStringLiteral("update egmcontain set ref = ?, containno = "
                                                       "?, constatus = ? where autoid = ?"),
                                        {ref, number, status, id});
            stored = q.numRowsAffected() > 0;
        }
        if (!stored)
            added << RowValues{ref, number, status, 0};
        ++written;
    }
    if (!added.isEmpty())
        db.insertRows(QStringLiteral("egmcontain"),
                      {QStringLiteral("ref"), QStringLiteral("containno"),
                       QStringLiteral("constatus"), QStringLiteral("subrefno")},
                      added);
    return written;
}

int ContainerGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows();
}

int ContainerGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant ContainerGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return cells_[index.row()][index.column()];
}

QVariant ContainerGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    static const char* const headings[] = {"ref", "Container No.", "Status", "Autoid"};
    return section >= 0 && section < 4 ? QString::fromLatin1(headings[section]) : QVariant();
}
