#include "EgmFile.h"

#include "ValueText.h"

#include <QDir>
#include <QSaveFile>
#include <QStringList>

namespace EgmFile {

namespace {

constexpr char kGroupSeparator = '\x1d';

/// Column positions looked up by name, with the first missing name noted.
class Columns
{
public:
    Columns(const RowTable& table, const char* what) : table_(table), what_(what) {}

    int operator()(const char* name)
    {
        const int index = table_.columnIndex(QLatin1String(name));
        if (index < 0 && missing_.isEmpty())
            missing_ = QStringLiteral("The %1 rows have no column \"%2\"; no file was written.")
                           .arg(QLatin1String(what_), QLatin1String(name));
        return index;
    }
    const QString& missing() const { return missing_; }

private:
    const RowTable& table_;
    const char* what_;
    QString missing_;
};

QVariant valueAt(const RowValues& row, int index)
{
    return index < row.size() ? row[index] : QVariant();
}

QString textField(const RowValues& row, int index)
{
    const QVariant v = valueAt(row, index);
    return v.isNull() ? QString() : v.toString(); // exactly as stored
}

QString numberField(const RowValues& row, int index)
{
    return ValueText::numberText(valueAt(row, index)); // "" for null
}

/// A value counts as zero when the leading number of its text is 0; an empty,
/// null or non-numeric value counts as zero too.
bool countsAsZero(const QString& text)
{
    return ValueText::leadingNumber(text) == 0;
}

void appendLine(QByteArray* out, const QStringList& fields)
{
    for (const QString& field : fields) {
        out->append(field.toLatin1());
        out->append(kGroupSeparator);
    }
    out->append('\n');
}

QString noDateMessage(const QString& sbno)
{
    return QStringLiteral("Shipping Bill No. %1 has no Shipping Bill Date; no file was written.")
        .arg(sbno);
}

} // namespace

QByteArray content(const QDate& screenDate, const RowTable& cargo, const RowTable& containers,
                   QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    error->clear();
    if (!screenDate.isValid()) {
        *error = QStringLiteral("The EGM date is not a valid date; no file was written.");
        return {};
    }
    const QString egmDate = ValueText::ddmmyyyy(screenDate);

    QByteArray out;
    out.append("<manifest>\n<egm_master>F\n");

    if (!cargo.rows.isEmpty()) {
        Columns col(cargo, "cargo");
        const int egmno = col("egmno"), sbno = col("sbno"), sbdt = col("sbdt");
        const int sbport = col("sbport"), destport = col("destport"), gateport = col("gateport");
        const int nature = col("naturecargo"), volume = col("volume"), unitvol = col("unitvol");
        const int pkgs = col("pkgs");
        if (!col.missing().isEmpty()) {
            *error = col.missing();
            return {};
        }
        for (const RowValues& row : cargo.rows) {
            const QDate billDate = ValueText::toDate(valueAt(row, sbdt));
            if (!billDate.isValid()) {
                *error = noDateMessage(numberField(row, sbno));
                return {};
            }
            // The volume decides for the unit as well: no unit without a volume.
            const QString volumeText = numberField(row, volume);
            const bool noVolume = countsAsZero(volumeText);
            const QString pkgsText = numberField(row, pkgs);
            appendLine(&out, {numberField(row, egmno), egmDate, numberField(row, sbno),
                              ValueText::ddmmyyyy(billDate), textField(row, sbport),
                              textField(row, destport), textField(row, gateport),
                              textField(row, nature), noVolume ? QString() : volumeText,
                              noVolume ? QString() : textField(row, unitvol),
                              countsAsZero(pkgsText) ? QString() : pkgsText});
        }
    }

    out.append("<egmcont>F\n");
    if (!containers.rows.isEmpty()) {
        Columns col(containers, "container");
        const int egmno = col("xegmno"), sbno = col("xsbno"), sbdt = col("xsbdt");
        const int containno = col("containno"), constatus = col("constatus");
        if (!col.missing().isEmpty()) {
            *error = col.missing();
            return {};
        }
        for (const RowValues& row : containers.rows) {
            const QDate billDate = ValueText::toDate(valueAt(row, sbdt));
            if (!billDate.isValid()) {
                *error = noDateMessage(numberField(row, sbno));
                return {};
            }
            appendLine(&out, {numberField(row, egmno), egmDate, numberField(row, sbno),
                              ValueText::ddmmyyyy(billDate), textField(row, containno),
                              textField(row, constatus)});
        }
    }
    out.append("<END-egmcont>\n<END-egm_master>\n<END-manifest>\n");
    return out;
}

bool save(const QString& path, const QByteArray& bytes, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot create \"%1\": %2").arg(shown, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(shown, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(shown, file.errorString());
        return false;
    }
    error->clear();
    return true;
}

} // namespace EgmFile
