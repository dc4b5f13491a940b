#include "EgmFile.h"

#include "SafeFile.h"
#include "ValueText.h"

#include <QDir>
#include <QStringList>
#include <utility>

namespace EgmFile {

namespace {

constexpr char kGroupSeparator = '\x1d';

QVariant valueAt(const RowValues& row, int index)
{
    return index >= 0 && index < row.size() ? row[index] : QVariant();
}

/// Appends text as single-byte Latin-1 ('?' for what Latin-1 lacks) and
/// the separator, without a temporary per field.
void appendField(QByteArray& out, QStringView text)
{
    for (const QChar c : text)
        out.append(c.unicode() < 0x100 ? char(c.unicode()) : '?');
    out.append(kGroupSeparator);
}

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString(); // exactly as stored
}

/// A value counts as zero when the leading number of its text is 0; an empty,
/// null or non-numeric value counts as zero too.
bool countsAsZero(const QString& text)
{
    return ValueText::leadingNumber(text) == 0;
}

} // namespace

Writer::Writer(const QDate& screenDate)
{
    if (!screenDate.isValid()) {
        error_ = QStringLiteral("The EGM date is not a valid date; no file was written.");
        return;
    }
    date_ = ValueText::ddmmyyyy(screenDate).toLatin1();
    out_.append("<manifest>\n<egm_master>F\n");
}

QString Writer::noDateMessage(const QString& sbno)
{
    return QStringLiteral("Shipping Bill No. %1 has no Shipping Bill Date; no file was written.")
        .arg(sbno);
}

QString Writer::missingColumnMessage(const char* what, const QString& column)
{
    return QStringLiteral("The %1 rows have no column \"%2\"; no file was written.")
        .arg(QLatin1String(what), column);
}

bool Writer::billPrefix(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt)
{
    if (havePrefix_ && egmno == lastEgmno_ && sbno == lastSbno_ && sbdt == lastSbdt_)
        return true;
    const QString sbnoText = ValueText::numberText(sbno);
    const QDate billDate = ValueText::toDate(sbdt);
    if (!billDate.isValid()) {
        error_ = noDateMessage(sbnoText);
        return false;
    }
    prefix_.clear();
    appendField(prefix_, ValueText::numberText(egmno));
    prefix_.append(date_).append(kGroupSeparator);
    appendField(prefix_, sbnoText);
    appendField(prefix_, ValueText::ddmmyyyy(billDate));
    lastEgmno_ = egmno;
    lastSbno_ = sbno;
    lastSbdt_ = sbdt;
    havePrefix_ = true;
    return true;
}

bool Writer::addBill(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt,
                     const QVariant& sbport, const QVariant& destport, const QVariant& gateport,
                     const QVariant& naturecargo, const QVariant& volume, const QVariant& unitvol,
                     const QVariant& pkgs)
{
    if (!error_.isEmpty() || !billPrefix(egmno, sbno, sbdt))
        return false;
    out_.append(prefix_);
    appendField(out_, text(sbport));
    appendField(out_, text(destport));
    appendField(out_, text(gateport));
    appendField(out_, text(naturecargo));
    // The volume decides for the unit as well: no unit without a volume.
    const QString volumeText = ValueText::numberText(volume);
    const bool noVolume = countsAsZero(volumeText);
    appendField(out_, noVolume ? QString() : volumeText);
    appendField(out_, noVolume ? QString() : text(unitvol));
    const QString pkgsText = ValueText::numberText(pkgs);
    appendField(out_, countsAsZero(pkgsText) ? QString() : pkgsText);
    out_.append('\n');
    return true;
}

void Writer::beginContainers()
{
    out_.append("<egmcont>F\n");
}

bool Writer::addContainer(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt,
                          const QVariant& containno, const QVariant& constatus)
{
    if (!error_.isEmpty() || !billPrefix(egmno, sbno, sbdt))
        return false;
    out_.append(prefix_);
    appendField(out_, text(containno));
    appendField(out_, text(constatus));
    out_.append('\n');
    return true;
}

QByteArray Writer::finish()
{
    if (!error_.isEmpty())
        return {};
    out_.append("<END-egmcont>\n<END-egm_master>\n<END-manifest>\n");
    return std::exchange(out_, QByteArray());
}

QByteArray content(const QDate& screenDate, const RowTable& cargo, const RowTable& containers,
                   QString* error)
{
    Writer w(screenDate);
    auto columnsOf = [&w](const RowTable& t, const char* what,
                          std::initializer_list<const char*> names) {
        QList<int> cols;
        for (const char* name : names) {
            cols << t.columnIndex(QLatin1String(name));
            if (cols.last() < 0 && !t.rows.isEmpty() && w.error().isEmpty())
                w.fail(Writer::missingColumnMessage(what, QLatin1String(name)));
        }
        return cols;
    };
    const QList<int> c = columnsOf(cargo, "cargo",
                                   {"egmno", "sbno", "sbdt", "sbport", "destport", "gateport",
                                    "naturecargo", "volume", "unitvol", "pkgs"});
    for (const RowValues& r : cargo.rows)
        if (!w.addBill(valueAt(r, c[0]), valueAt(r, c[1]), valueAt(r, c[2]), valueAt(r, c[3]),
                       valueAt(r, c[4]), valueAt(r, c[5]), valueAt(r, c[6]), valueAt(r, c[7]),
                       valueAt(r, c[8]), valueAt(r, c[9])))
            break;
    w.beginContainers();
    const QList<int> k =
        columnsOf(containers, "container", {"xegmno", "xsbno", "xsbdt", "containno", "constatus"});
    for (const RowValues& r : containers.rows)
        if (!w.addContainer(valueAt(r, k[0]), valueAt(r, k[1]), valueAt(r, k[2]), valueAt(r, k[3]),
                            valueAt(r, k[4])))
            break;
    QByteArray bytes = w.finish();
    if (error)
        *error = w.error();
    return bytes;
}

bool save(const QString& path, const QByteArray& bytes, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const QString shown = QDir::toNativeSeparators(path);
    SafeFile file(path);
    if (!file.open()) {
        *error = QStringLiteral("Cannot create \"%1\": %2").arg(shown, file.errorString());
        return false;
    }
    if (!file.write(bytes) || !file.commit()) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(shown, file.errorString());
        return false;
    }
    error->clear();
    return true;
}

} // namespace EgmFile
