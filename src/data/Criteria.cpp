#include "Criteria.h"

#include "DbError.h"
#include "SqlDialect.h"
#include "ValueText.h"

#include <QRegularExpression>

namespace {

int columnOf(const ColumnList& columns, const QString& name)
{
    const int i = columnIndex(columns, name);
    if (i >= 0)
        return i;
    throw DbError(DbError::CommandFailed,
                  QStringLiteral("The filter names the unknown field '%1'.").arg(name));
}

bool likeMatch(const QString& value, const QString& pattern)
{
    QString re;
    for (QChar c : pattern) {
        if (c == u'*' || c == u'%')
            re += QLatin1String(".*");
        else if (c == u'?' || c == u'_')
            re += u'.';
        else
            re += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression rx(QRegularExpression::anchoredPattern(re),
                                QRegularExpression::CaseInsensitiveOption |
                                    QRegularExpression::DotMatchesEverythingOption);
    return rx.match(value).hasMatch();
}

bool isNumeric(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isDate(const QVariant& v)
{
    return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
}

/// -1, 0, 1; compares as numbers, dates or text as the values allow.
int compare(const QVariant& a, const QVariant& b)
{
    if (isNumeric(a) || isNumeric(b)) {
        const double x = isNumeric(a) ? a.toDouble() : ValueText::leadingNumber(a.toString());
        const double y = isNumeric(b) ? b.toDouble() : ValueText::leadingNumber(b.toString());
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (isDate(a) || isDate(b)) {
        const QDate x = ValueText::toDate(a);
        const QDate y = ValueText::toDate(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive) < 0   ? -1
           : QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive) > 0 ? 1
                                                                                   : 0;
}

bool test(const QVariant& value, Criteria::Op op, const QVariant& wanted)
{
    if (wanted.isNull()) {
        const bool isNull = value.isNull();
        return op == Criteria::Op::Eq ? isNull : op == Criteria::Op::Ne ? !isNull : false;
    }
    if (value.isNull())
        return false;
    if (op == Criteria::Op::Like)
        return likeMatch(isNumeric(value) ? ValueText::numberText(value) : value.toString(),
                         wanted.toString());
    const int c = compare(value, wanted);
    switch (op) {
    case Criteria::Op::Eq:
        return c == 0;
    case Criteria::Op::Ne:
        return c != 0;
    case Criteria::Op::Lt:
        return c < 0;
    case Criteria::Op::Le:
        return c <= 0;
    case Criteria::Op::Gt:
        return c > 0;
    case Criteria::Op::Ge:
        return c >= 0;
    case Criteria::Op::Like:
        break;
    }
    return false;
}

[[noreturn]] void syntax(const QString& text)
{
    throw DbError(DbError::CommandFailed,
                  QStringLiteral("The filter '%1' cannot be read.").arg(text));
}

} // namespace

int Criteria::compareValues(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    return compare(a, b);
}

Criteria Criteria::equals(const QString& column, const QVariant& value)
{
    Criteria c;
    c.groups_ << QList<Term>{{column, Op::Eq, value}};
    return c;
}

Criteria Criteria::beginsWith(const QString& column, const QString& text)
{
    Criteria c;
    c.groups_ << QList<Term>{{column, Op::Like, text, true}};
    return c;
}

Criteria& Criteria::orElse(const Criteria& other)
{
    groups_ << other.groups_;
    return *this;
}

Criteria Criteria::parse(const QString& text)
{
    static const QRegularExpression token(QStringLiteral(
        "\\s*(?:('(?:[^']|'')*')|(#[^#]*#)|(<>|<=|>=|=|<|>)|([A-Za-z_][A-Za-z0-9_.$]*)|"
        "([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)|(\\S))"));
    struct Tok
    {
        int kind; // 1 string, 2 date, 3 op, 4 word, 5 number, 6 other
        QString text;
    };
    QList<Tok> toks;
    int at = 0;
    while (at < text.size()) {
        const auto m = token.match(text, at, QRegularExpression::NormalMatch,
                                   QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch() || m.capturedLength(0) == 0)
            break;
        for (int k = 1; k <= 6; ++k)
            if (m.capturedStart(k) >= 0) {
                toks << Tok{k, m.captured(k)};
                break;
            }
        at = int(m.capturedEnd(0));
    }
    Criteria c;
    if (toks.isEmpty())
        return c;
    QList<Term> group;
    int i = 0;
    while (i < toks.size()) {
        if (toks[i].kind != 4)
            syntax(text);
        Term t;
        t.column = toks[i].text;
        if (t.column.contains(u'.'))
            t.column = t.column.section(u'.', -1);
        ++i;
        if (i >= toks.size())
            syntax(text);
        const QString op = toks[i].text.toLower();
        if (op == QLatin1String("="))
            t.op = Op::Eq;
        else if (op == QLatin1String("<>"))
            t.op = Op::Ne;
        else if (op == QLatin1String("<"))
            t.op = Op::Lt;
        else if (op == QLatin1String("<="))
            t.op = Op::Le;
        else if (op == QLatin1String(">"))
            t.op = Op::Gt;
        else if (op == QLatin1String(">="))
            t.op = Op::Ge;
        else if (op == QLatin1String("like"))
            t.op = Op::Like;
        else
            syntax(text);
        ++i;
        if (i >= toks.size())
            syntax(text);
        const Tok& v = toks[i];
        switch (v.kind) {
        case 1:
            t.value =
                v.text.mid(1, v.text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
            break;
        case 2: {
            const auto d = ValueText::parseDate(v.text.mid(1, v.text.size() - 2));
            if (!d)
                syntax(text);
            t.value = *d;
            break;
        }
        case 5:
            t.value = v.text.toDouble();
            break;
        case 4:
            if (v.text.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
                t.value = QVariant();
                break;
            }
            syntax(text);
        default:
            syntax(text);
        }
        ++i;
        group << t;
        if (i < toks.size()) {
            const QString join = toks[i].text.toLower();
            if (join == QLatin1String("or")) {
                c.groups_ << group;
                group.clear();
            } else if (join != QLatin1String("and")) {
                syntax(text);
            }
            ++i;
            if (i >= toks.size())
                syntax(text);
        }
    }
    c.groups_ << group;
    return c;
}

bool Criteria::matches(const RowValues& row, const ColumnList& columns) const
{
    if (groups_.isEmpty())
        return true;
    for (const QList<Term>& group : groups_) {
        bool all = true;
        for (const Term& t : group) {
            const int col = columnOf(columns, t.column);
            const QVariant v = col < row.size() ? row[col] : QVariant();
            const bool ok = t.prefix ? !v.isNull() && v.toString().startsWith(t.value.toString(),
                                                                              Qt::CaseInsensitive)
                                     : test(v, t.op, t.value);
            if (!ok) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

QString Criteria::toSql(const ColumnList& columns, const SqlDialect& dialect,
                        QVariantList& params) const
{
    static const char* const ops[] = {"=", "<>", "<", "<=", ">", ">="};
    QStringList groups;
    for (const QList<Term>& group : groups_) {
        QStringList terms;
        for (const Term& t : group) {
            const ColumnInfo& c = columns[columnOf(columns, t.column)];
            const QString name = c.baseColumn.isEmpty() ? c.name : c.baseColumn;
            if (t.prefix) {
                const QString text = t.value.toString();
                terms << QStringLiteral("lower(substr(%1, 1, %2)) = lower(?)")
                             .arg(name)
                             .arg(text.size());
                params << text;
                continue;
            }
            if (t.op == Op::Like)
                throw DbError(DbError::CommandFailed,
                              QStringLiteral("The filter on '%1' cannot be asked of the database.")
                                  .arg(t.column));
            const QString op = QLatin1String(ops[int(t.op)]);
            if (t.value.isNull()) {
                terms << (t.op == Op::Ne   ? name + QStringLiteral(" is not null")
                          : t.op == Op::Eq ? name + QStringLiteral(" is null")
                                           : QStringLiteral("1=0"));
                continue;
            }
            switch (c.type) {
            case ColumnType::Long:
            case ColumnType::Double:
            case ColumnType::Boolean:
                terms << name + u' ' + op + QStringLiteral(" ?");
                params << (isNumeric(t.value) ? t.value.toDouble()
                                              : ValueText::leadingNumber(t.value.toString()));
                break;
            case ColumnType::Date:
                terms << name + u' ' + op + QStringLiteral(" ?");
                params << dialect.toStorage(c.type, ValueText::toDate(t.value));
                break;
            case ColumnType::Text:
                terms << QStringLiteral("lower(%1) %2 lower(?)").arg(name, op);
                params << (isNumeric(t.value) ? ValueText::numberText(t.value)
                                              : t.value.toString());
                break;
            }
        }
        groups << u'(' + terms.join(QStringLiteral(" and ")) + u')';
    }
    return groups.join(QStringLiteral(" or "));
}
