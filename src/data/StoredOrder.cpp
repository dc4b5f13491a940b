#include "StoredOrder.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace StoredOrder {

namespace {

struct Token
{
    QString text;
    QString lower;
    qsizetype start = 0;
    qsizetype end = 0;
    int depth = 0; ///< brackets around the token
};

QList<Token> tokenize(const QString& sql)
{
    static const QRegularExpression token(QStringLiteral(
        "'(?:[^']|'')*'|\"(?:[^\"]|\"\")*\"|[A-Za-z_][A-Za-z0-9_$]*|\\d+(?:\\.\\d*)?|\\S"));
    QList<Token> out;
    int depth = 0;
    auto it = token.globalMatch(sql);
    while (it.hasNext()) {
        const auto m = it.next();
        Token t;
        t.text = m.captured(0);
        t.lower = t.text.toLower();
        t.start = m.capturedStart(0);
        t.end = m.capturedEnd(0);
        if (t.text == QLatin1String(")"))
            --depth;
        t.depth = depth;
        if (t.text == QLatin1String("("))
            ++depth;
        out << t;
    }
    return out;
}

bool isName(const Token& t)
{
    return !t.text.isEmpty() && (t.text[0].isLetter() || t.text[0] == u'_');
}

struct Source
{
    QString table;
    QString alias; ///< "" when none: the table's own name qualifies
    QString qualifier() const { return alias.isEmpty() ? table : alias; }
};

const QStringList clauseWords = {
    QStringLiteral("where"),  QStringLiteral("group"),  QStringLiteral("order"),
    QStringLiteral("having"), QStringLiteral("limit"),  QStringLiteral("offset"),
    QStringLiteral("union"),  QStringLiteral("except"), QStringLiteral("intersect"),
    QStringLiteral("for"),    QStringLiteral("window"), QStringLiteral("fetch"),
};
const QStringList joinWords = {QStringLiteral("join"),  QStringLiteral("left"),
                               QStringLiteral("right"), QStringLiteral("inner"),
                               QStringLiteral("outer"), QStringLiteral("cross"),
                               QStringLiteral("full"),  QStringLiteral("natural")};
const QStringList aggregates = {QStringLiteral("count"),    QStringLiteral("max"),
                                QStringLiteral("min"),      QStringLiteral("sum"),
                                QStringLiteral("avg"),      QStringLiteral("string_agg"),
                                QStringLiteral("array_agg")};

} // namespace

QString rewrite(const QString& sql, const Lookup& lookup)
{
    const QList<Token> t = tokenize(sql);
    if (t.isEmpty() || t[0].lower != QLatin1String("select"))
        return sql;
    const int n = int(t.size());
    int listStart = 1;
    bool distinct = false;
    if (listStart < n && (t[listStart].lower == QLatin1String("distinct") ||
                          t[listStart].lower == QLatin1String("all"))) {
        distinct = t[listStart].lower == QLatin1String("distinct");
        ++listStart;
    }
    int from = -1;
    for (int i = listStart; i < n; ++i)
        if (t[i].depth == 0 && t[i].lower == QLatin1String("from")) {
            from = i;
            break;
        }
    if (from < 0)
        return sql;

    // The FROM list: "a, b c, d as e", "a left join b on ...".
    QList<Source> sources;
    bool joined = false;
    int clause = n; // first top-level clause after FROM
    {
        int i = from + 1;
        bool expectTable = true;
        for (; i < n; ++i) {
            const Token& k = t[i];
            if (k.depth > 0)
                continue;
            if (clauseWords.contains(k.lower)) {
                clause = i;
                break;
            }
            if (k.text == QLatin1String(";")) {
                clause = i;
                break;
            }
            if (k.text == QLatin1String(",")) {
                expectTable = true;
                continue;
            }
            if (joinWords.contains(k.lower)) {
                joined = true;
                if (k.lower == QLatin1String("join"))
                    expectTable = true;
                continue;
            }
            if (k.lower == QLatin1String("on") || k.lower == QLatin1String("using")) {
                // Up to the next join or comma the condition follows.
                expectTable = false;
                continue;
            }
            if (expectTable) {
                if (!isName(k) || (i + 1 < n && t[i + 1].text == QLatin1String(".")) ||
                    (i + 1 < n && t[i + 1].text == QLatin1String("(")))
                    return sql; // a subquery, a schema or a function: not ours to read
                Source s;
                s.table = k.text;
                int j = i + 1;
                if (j < n && t[j].lower == QLatin1String("as"))
                    ++j;
                if (j < n && t[j].depth == 0 && isName(t[j]) && !clauseWords.contains(t[j].lower) &&
                    !joinWords.contains(t[j].lower) && t[j].lower != QLatin1String("on") &&
                    t[j].lower != QLatin1String("using")) {
                    s.alias = t[j].text;
                    i = j;
                }
                sources << s;
                expectTable = false;
            }
        }
        if (i >= n)
            clause = n;
    }
    if (sources.isEmpty())
        return sql;

    QList<Table> tables;
    for (const Source& s : sources) {
        const auto known = lookup(s.table);
        if (!known)
            return sql;
        tables << *known;
    }
    const auto columnsOf = [&](int k) {
        QStringList out;
        for (const QString& c : tables[k].columns)
            out << sources[k].qualifier() + u'.' + c;
        return out.join(u',');
    };

    // The column list: each top-level item between commas.
    QList<QPair<QPair<qsizetype, qsizetype>, QString>> replacements; // [start, end) -> text
    bool aggregate = false;
    int itemStart = listStart;
    for (int i = listStart; i <= from; ++i) {
        if (i < from && aggregates.contains(t[i].lower) && i + 1 < from &&
            t[i + 1].text == QLatin1String("("))
            aggregate = true;
        if (i < from && !(t[i].depth == 0 && t[i].text == QLatin1String(",")))
            continue;
        const int len = i - itemStart;
        if (len == 1 && t[itemStart].text == QLatin1String("*")) {
            QStringList all;
            for (int k = 0; k < sources.size(); ++k)
                all << columnsOf(k);
            replacements.append({{t[itemStart].start, t[itemStart].end}, all.join(u',')});
        } else if (len == 3 && t[itemStart + 1].text == QLatin1String(".") &&
                   t[itemStart + 2].text == QLatin1String("*")) {
            int found = -1;
            for (int k = 0; k < sources.size(); ++k)
                if (sources[k].qualifier().compare(t[itemStart].text, Qt::CaseInsensitive) == 0)
                    found = k;
            if (found < 0)
                return sql;
            replacements.append({{t[itemStart].start, t[itemStart + 2].end}, columnsOf(found)});
        }
        itemStart = i + 1;
    }

    // "t.rowid", SQLite's name for a row's place in stored order, stands for
    // the table's own order column.
    for (int i = 0; i + 2 < n; ++i) {
        if (t[i + 1].text != QLatin1String(".") || t[i + 2].lower != QLatin1String("rowid") ||
            (i > 0 && t[i - 1].text == QLatin1String(".")))
            continue;
        for (int k = 0; k < sources.size(); ++k)
            if (sources[k].qualifier().compare(t[i].text, Qt::CaseInsensitive) == 0 &&
                !tables[k].orderColumn.isEmpty())
                replacements.append({{t[i + 2].start, t[i + 2].end}, tables[k].orderColumn});
    }
    // The stored order, where the select asks for no other.
    QString orderBy;
    int insertAt = -1; // token before which the order goes; -1: at the end
    if (sources.size() == 1 && !joined && !distinct && !aggregate &&
        !tables[0].orderColumn.isEmpty()) {
        bool ordered = false;
        for (int i = clause; i < n; ++i) {
            if (t[i].depth != 0)
                continue;
            const QString& w = t[i].lower;
            if (w == QLatin1String("order") || w == QLatin1String("group") ||
                w == QLatin1String("having") || w == QLatin1String("union") ||
                w == QLatin1String("except") || w == QLatin1String("intersect") ||
                w == QLatin1String("for") || w == QLatin1String("window"))
                ordered = true;
            if (insertAt < 0 && (w == QLatin1String("limit") || w == QLatin1String("offset") ||
                                 w == QLatin1String("fetch") || w == QLatin1String(";")))
                insertAt = i;
        }
        if (!ordered)
            orderBy = QStringLiteral(" order by ") + sources[0].qualifier() + u'.' +
                      tables[0].orderColumn;
    }

    if (!orderBy.isEmpty()) {
        if (insertAt >= 0) {
            const qsizetype at = t[insertAt].start;
            replacements.append({{at, at}, orderBy.mid(1) + u' '});
        } else {
            qsizetype end = sql.size();
            while (end > 0 && sql[end - 1].isSpace())
                --end;
            replacements.append({{end, end}, orderBy});
        }
    }
    if (replacements.isEmpty())
        return sql;
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const auto& a, const auto& b) { return a.first.first < b.first.first; });
    QString out = sql;
    // Back to front, so that the earlier positions stay valid.
    for (qsizetype k = replacements.size() - 1; k >= 0; --k) {
        const auto& [range, text] = replacements[k];
        out.replace(range.first, range.second - range.first, text);
    }
    return out;
}

} // namespace StoredOrder
