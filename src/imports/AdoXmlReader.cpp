#include "AdoXmlReader.h"

#include "AdoXmlValues.h"
#include "ValueText.h"
#include "XmlTokenizer.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace AdoXml {

namespace {

// Namespace URIs of the format. The prefixes are free; readers match these.
constexpr QLatin1String kSchemaNs("uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
constexpr QLatin1String kTypeNs("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
constexpr QLatin1String kRowsetNs("urn:schemas-microsoft-com:rowset");
constexpr QLatin1String kRowNs("#RowsetSchema");

bool fail(Error* error, const QString& message, int line = 0, int column = 0)
{
    error->message = message;
    error->line = line;
    error->column = column;
    return false;
}

/// Which of the format's namespaces a URI is (compared without regard to case).
enum class Ns
{
    Other,
    Schema,
    Type,
    Rowset,
    Row,
};

Ns nsOf(const QByteArray& uri)
{
    const QString text = QString::fromUtf8(uri);
    const auto same = [&text](QLatin1String known) {
        return text.compare(known, Qt::CaseInsensitive) == 0;
    };
    return same(kSchemaNs)   ? Ns::Schema
           : same(kTypeNs)   ? Ns::Type
           : same(kRowsetNs) ? Ns::Rowset
           : same(kRowNs)    ? Ns::Row
                             : Ns::Other;
}

using Tokenizer = XmlText::Tokenizer;
using Tag = XmlText::Tag;
using XmlAttr = XmlText::Attribute;

using namespace AdoXmlValue;

// ---------------------------------------------------------------------------
// The schema: a small tree of its own

struct SchemaAttr
{
    int name = 0;
    int uri = 0;
    QString value;
    qsizetype pos = 0;
};

struct SchemaElem
{
    int name = 0;
    int uri = 0;
    qsizetype pos = 0;
    std::vector<SchemaAttr> attrs;
    std::vector<int> children;
};

struct ColumnDef
{
    ColumnInfo info;
    QString xmlName; ///< attribute name in the rows (an alias when rs:name is given)
    Kind kind = Kind::Text;
    int number = -1;
};

/// One row's attributes as they stand in the file, before they are values.
struct RawRow
{
    struct Attr
    {
        int name = 0;
        int uri = 0;
        QByteArrayView value;
        qsizetype pos = 0;
    };
    std::vector<Attr> attrs;
    std::deque<QByteArray> owned; ///< copies of the values, for a row kept for later
    qsizetype nestedPos = -1;     ///< a child element, which the format does not allow
    int nestedName = 0;

    void take(const Tag& tag, bool copy)
    {
        attrs.clear();
        owned.clear();
        nestedPos = -1;
        for (const XmlAttr& a : tag.attrs) {
            QByteArrayView value = a.value;
            if (copy) {
                owned.push_back(a.value.toByteArray());
                value = owned.back();
            }
            attrs.push_back(Attr{a.name, a.uri, value, a.pos});
        }
    }
};

} // namespace

// ---------------------------------------------------------------------------

struct Reader::Impl
{
    QByteArray text;
    std::optional<Tokenizer> parser;
    mutable std::vector<Ns> uriNs; ///< by uri id, filled as the tokenizer meets them
    Error error;
    bool failed = false;
    QString path; ///< named in the messages, when read from a file

    std::vector<SchemaElem> schema; ///< the schema's elements, the s:Schema first
    QList<ColumnDef> defs;
    ColumnList columns;
    QHash<QString, int> byXmlName;
    std::vector<int> columnOfName; ///< by name number; -2 not looked up yet
    QString rowName;
    QByteArray rowUri;
    qsizetype rootPos = 0;
    qsizetype schemaPos = -1;
    qsizetype dataBeforeSchema = -1;

    enum class Where
    {
        Data,   ///< children of rs:data
        Insert, ///< children of rs:insert
        Update, ///< children of rs:update
        After,  ///< rs:data closed: the rest of the file
    } where = Where::Data;
    int dataDepth = 0;

    Tag tag;
    Tag ahead;
    RawRow direct;                ///< a plain row, read in place
    std::deque<RawRow> originals; ///< rs:original rows waiting for their change
    std::deque<std::pair<RawRow, std::optional<RawRow>>> queue; ///< rows ready, with their original
    std::pair<RawRow, std::optional<RawRow>> current;
    std::vector<Cell> cells;
    std::vector<QByteArray> storage;
    std::vector<qsizetype> cellPos; ///< where the current row gives each value, -1 for none

    int rows = 0;
    bool done = false;

    bool failAt(qsizetype pos, const QString& message)
    {
        error.message = message;
        XmlText::locate(text, pos, &error);
        failed = true;
        return false;
    }
    bool parserFailed()
    {
        error.message = parser->errorMessage();
        XmlText::locate(text, parser->errorPos(), &error);
        failed = true;
        return false;
    }

    QString local(int name) const { return parser->name(name).local; }
    Ns nsOfUri(int uriId) const
    {
        while (int(uriNs.size()) < parser->uriCount())
            uriNs.push_back(nsOf(parser->uri(int(uriNs.size()))));
        return uriNs[size_t(uriId)];
    }
    bool isElem(const SchemaElem& e, Ns ns, QStringView name) const
    {
        return nsOfUri(e.uri) == ns && local(e.name).compare(name, Qt::CaseInsensitive) == 0;
    }
    bool isTagElem(const Tag& t, Ns ns, QStringView name) const
    {
        return nsOfUri(t.uri) == ns && local(t.name).compare(name, Qt::CaseInsensitive) == 0;
    }
    bool isRow(const Tag& t) const
    {
        return parser->name(t.name).local == rowName &&
               (nsOfUri(t.uri) == Ns::Row || parser->uri(t.uri) == rowUri);
    }
    const SchemaAttr* findAttr(const SchemaElem& e, std::optional<Ns> ns, QStringView name) const
    {
        for (const SchemaAttr& a : e.attrs) {
            const bool uriMatches = !ns ? a.uri == 0 : nsOfUri(a.uri) == *ns;
            if (uriMatches && local(a.name).compare(name, Qt::CaseInsensitive) == 0)
                return &a;
        }
        return nullptr;
    }
    QString attrValue(const SchemaElem& e, std::optional<Ns> ns, QStringView name) const
    {
        const SchemaAttr* a = findAttr(e, ns, name);
        return a ? a->value : QString();
    }
    static bool isTrue(const QString& flag)
    {
        return flag.trimmed().compare(u"true", Qt::CaseInsensitive) == 0 || flag.trimmed() == u"1";
    }

    void clearRow()
    {
        for (Cell& c : cells)
            c.setNull();
        std::fill(cellPos.begin(), cellPos.end(), -1);
    }
    bool open(QByteArray data);
    bool readSchema(const Tag& start);
    bool buildColumns();
    bool readColumns(const SchemaElem& schemaElem, const SchemaElem& rowType);
    bool readColumn(const SchemaElem& attributeType, const QString& nameOverride);
    bool skipSubtree(int depth);
    bool rowTag(const Tag& start, RawRow* row, bool copy);
    bool apply(const RawRow& row, int rowNumber);
    bool next();
    bool finishDocument();
    int columnOf(int name)
    {
        if (columnOfName.size() <= size_t(name))
            columnOfName.resize(size_t(name) + 64, -2);
        int& column = columnOfName[size_t(name)];
        if (column == -2)
            column = byXmlName.value(local(name), -1);
        return column;
    }
};

bool Reader::Impl::readColumn(const SchemaElem& at, const QString& nameOverride)
{
    ColumnDef c;
    c.xmlName = nameOverride.isEmpty() ? attrValue(at, std::nullopt, u"name") : nameOverride;
    if (c.xmlName.isEmpty())
        return failAt(at.pos, QStringLiteral("A column definition (%1) has no name.")
                                  .arg(parser->name(at.name).qnameText));
    const QString realName = attrValue(at, Ns::Rowset, u"name");
    c.info.name = realName.isEmpty() ? c.xmlName : realName;

    // dt:type and its companions may stand on the AttributeType or on its
    // s:datatype child.
    const SchemaElem* datatype = nullptr;
    for (int child : at.children)
        if (isElem(schema[size_t(child)], Ns::Schema, u"datatype"))
            datatype = &schema[size_t(child)];
    auto typeAttr = [&](Ns ns, QStringView name) {
        QString v = attrValue(at, ns, name);
        if (v.isEmpty() && datatype)
            v = attrValue(*datatype, ns, name);
        return v;
    };
    c.kind = kindOf(typeAttr(Ns::Type, u"type"));
    c.info.type = columnTypeOf(c.kind);
    if (c.info.type == ColumnType::Text) {
        bool ok = false;
        const qlonglong size = typeAttr(Ns::Type, u"maxLength").trimmed().toLongLong(&ok);
        c.info.size =
            ok && size > 0 ? int(std::min<qlonglong>(size, std::numeric_limits<int>::max())) : 0;
    } else {
        c.info.size = ColumnInfo::naturalSize(c.info.type);
    }
    const bool declaredNullable = isTrue(attrValue(at, Ns::Rowset, u"nullable"));
    const QString maybeNull = typeAttr(Ns::Rowset, u"maybenull").trimmed();
    c.info.nullable = declaredNullable || maybeNull.compare(u"false", Qt::CaseInsensitive) != 0;
    c.info.autoNumber = isTrue(attrValue(at, Ns::Rowset, u"autoincrement"));
    c.info.baseTable = attrValue(at, Ns::Rowset, u"basetable");
    c.info.baseColumn = attrValue(at, Ns::Rowset, u"basecolumn");
    bool ok = false;
    const int number = attrValue(at, Ns::Rowset, u"number").trimmed().toInt(&ok);
    c.number = ok ? number : -1;

    if (byXmlName.contains(c.xmlName))
        return failAt(
            at.pos,
            QStringLiteral("Two columns have the name \"%1\" in the schema.").arg(c.xmlName));
    byXmlName.insert(c.xmlName, int(defs.size()));
    defs.append(c);
    return true;
}

bool Reader::Impl::readColumns(const SchemaElem& schemaElem, const SchemaElem& rowType)
{
    // Columns may also be declared once in the schema and referred to with
    // <s:attribute type='name'/>.
    QHash<QString, const SchemaElem*> declared;
    for (int child : schemaElem.children)
        if (isElem(schema[size_t(child)], Ns::Schema, u"AttributeType"))
            declared.insert(attrValue(schema[size_t(child)], std::nullopt, u"name"),
                            &schema[size_t(child)]);

    for (int child : rowType.children) {
        const SchemaElem& e = schema[size_t(child)];
        if (isElem(e, Ns::Schema, u"ElementType"))
            return failAt(e.pos, QStringLiteral("The file holds a hierarchical rowset (child "
                                                "rowset \"%1\"); hierarchical (shaped) rowsets "
                                                "are not supported.")
                                     .arg(attrValue(e, std::nullopt, u"name")));
        if (isElem(e, Ns::Schema, u"AttributeType")) {
            if (!readColumn(e, QString()))
                return false;
        } else if (isElem(e, Ns::Schema, u"attribute")) {
            const QString type = attrValue(e, std::nullopt, u"type");
            const SchemaElem* def = declared.value(type);
            if (!def)
                return failAt(e.pos, QStringLiteral("The column \"%1\" is not declared in the "
                                                    "schema.")
                                         .arg(type));
            if (!readColumn(*def, type))
                return false;
        }
    }
    if (defs.isEmpty())
        return failAt(rowType.pos, QStringLiteral("The schema defines no columns."));

    // rs:number gives the column order; without it, the order of declaration.
    const bool numbered =
        std::all_of(defs.cbegin(), defs.cend(), [](const ColumnDef& c) { return c.number >= 0; });
    if (numbered) {
        std::stable_sort(defs.begin(), defs.end(), [](const ColumnDef& a, const ColumnDef& b) {
            return a.number < b.number;
        });
        byXmlName.clear();
        for (int k = 0; k < defs.size(); ++k)
            byXmlName.insert(defs[k].xmlName, k);
    }
    return true;
}

bool Reader::Impl::readSchema(const Tag& start)
{
    // The schema is small: read whole, as a tree.
    schema.clear();
    const auto add = [this](const Tag& t) {
        SchemaElem e;
        e.name = t.name;
        e.uri = t.uri;
        e.pos = t.pos;
        for (const XmlAttr& a : t.attrs)
            e.attrs.push_back(SchemaAttr{a.name, a.uri, QString::fromUtf8(a.value), a.pos});
        schema.push_back(std::move(e));
        return int(schema.size()) - 1;
    };
    add(start);
    schemaPos = start.pos;
    if (!start.empty) {
        std::vector<int> open{0};
        while (!open.empty()) {
            switch (parser->next(&tag)) {
            case Tokenizer::Event::Start: {
                const int index = add(tag);
                schema[size_t(open.back())].children.push_back(index);
                if (!tag.empty)
                    open.push_back(index);
                break;
            }
            case Tokenizer::Event::End:
                open.pop_back();
                break;
            case Tokenizer::Event::Done:
            case Tokenizer::Event::Failed:
                return parserFailed();
            }
        }
    }
    return buildColumns();
}

bool Reader::Impl::buildColumns()
{
    const SchemaElem& schemaElem = schema.front();
    const SchemaElem* rowType = nullptr;
    for (int child : schemaElem.children) {
        const SchemaElem& e = schema[size_t(child)];
        if (!isElem(e, Ns::Schema, u"ElementType"))
            continue;
        if (!rowType || attrValue(e, std::nullopt, u"name") == u"row")
            rowType = &e;
    }
    if (!rowType)
        return failAt(schemaElem.pos,
                      QStringLiteral("The schema describes no rows (s:ElementType)."));
    if (const SchemaAttr* relation = findAttr(*rowType, Ns::Rowset, u"relation"))
        return failAt(relation->pos, QStringLiteral("The file holds a hierarchical rowset; "
                                                    "hierarchical (shaped) rowsets are not "
                                                    "supported."));
    rowName = attrValue(*rowType, std::nullopt, u"name");
    if (rowName.isEmpty())
        rowName = QStringLiteral("row");
    rowUri = (u'#' + attrValue(schemaElem, std::nullopt, u"id")).toUtf8();
    if (!readColumns(schemaElem, *rowType))
        return false;
    for (const ColumnDef& c : std::as_const(defs))
        columns.append(c.info);
    cells.resize(size_t(defs.size()));
    storage.resize(size_t(defs.size()));
    cellPos.assign(size_t(defs.size()), -1);

    return true;
}

bool Reader::Impl::skipSubtree(int depth)
{
    for (;;) {
        switch (parser->next(&tag)) {
        case Tokenizer::Event::Start:
            break;
        case Tokenizer::Event::End:
            if (tag.depth == depth)
                return true;
            break;
        case Tokenizer::Event::Done:
        case Tokenizer::Event::Failed:
            return parserFailed();
        }
    }
}

bool Reader::Impl::open(QByteArray data)
{
    if (!XmlText::decode(data, &text, &error)) {
        failed = true;
        return false;
    }
    data = QByteArray();
    parser.emplace(text);
    // The root, then its children up to rs:data.
    if (parser->next(&tag) != Tokenizer::Event::Start)
        return parserFailed();
    rootPos = tag.pos;
    bool haveSchema = false;
    if (!tag.empty) {
        for (;;) {
            const Tokenizer::Event event = parser->next(&tag);
            if (event == Tokenizer::Event::Failed || event == Tokenizer::Event::Done)
                return parserFailed();
            if (event == Tokenizer::Event::End)
                break; // the root closed
            if (tag.depth != 1) {
                continue;
            }
            if (!haveSchema && isTagElem(tag, Ns::Schema, u"Schema")) {
                if (dataBeforeSchema >= 0)
                    return failAt(dataBeforeSchema,
                                  QStringLiteral("The data part (rs:data) comes before the "
                                                 "rowset schema (s:Schema): the schema must come "
                                                 "first."));
                if (!readSchema(tag))
                    return false;
                haveSchema = true;
                continue;
            }
            if (isTagElem(tag, Ns::Rowset, u"data") && dataBeforeSchema < 0) {
                if (haveSchema) {
                    dataDepth = 1;
                    where = tag.empty ? Where::After : Where::Data;
                    return true;
                }
                dataBeforeSchema = tag.pos;
            }
            if (!tag.empty && !skipSubtree(tag.depth))
                return false;
        }
    }
    // The root closed without a data part after a schema.
    if (!finishDocument())
        return false;
    if (!haveSchema)
        return failAt(rootPos, QStringLiteral("The file holds no rowset schema (s:Schema)."));
    return failAt(schemaPos, QStringLiteral("The file has no data part (rs:data)."));
}

bool Reader::Impl::finishDocument()
{
    for (;;) {
        switch (parser->next(&tag)) {
        case Tokenizer::Event::Start:
        case Tokenizer::Event::End:
            break;
        case Tokenizer::Event::Done:
            return true;
        case Tokenizer::Event::Failed:
            return parserFailed();
        }
    }
}

bool Reader::Impl::rowTag(const Tag& start, RawRow* row, bool copy)
{
    row->take(start, copy);
    if (start.empty)
        return true;
    // A row holds nothing: a child element makes it hierarchical.
    switch (parser->next(&ahead)) {
    case Tokenizer::Event::Start:
        row->nestedPos = ahead.pos;
        row->nestedName = ahead.name;
        return skipSubtree(start.depth);
    case Tokenizer::Event::End:
        return true;
    case Tokenizer::Event::Done:
    case Tokenizer::Event::Failed:
        break;
    }
    return parserFailed();
}

bool Reader::Impl::apply(const RawRow& row, int rowNumber)
{
    if (row.nestedPos >= 0)
        return failAt(row.nestedPos,
                      QStringLiteral("Row %1 holds the nested element <%2>: hierarchical "
                                     "(shaped) rowsets are not supported.")
                          .arg(rowNumber)
                          .arg(parser->name(row.nestedName).qnameText));
    for (const RawRow::Attr& a : row.attrs) {
        if (a.uri == 0) {
            const int k = columnOf(a.name);
            if (k < 0)
                continue; // not a column: ADO ignores it too
            const ColumnDef& c = defs[k];
            cellPos[size_t(k)] = a.pos;
            if (!convert(c.kind, a.value, &cells[size_t(k)], &storage[size_t(k)])) {
                const QString text = QString::fromUtf8(a.value);
                const QString shown =
                    text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
                return failAt(a.pos, QStringLiteral("Row %1, column \"%2\": \"%3\" is not %4.")
                                         .arg(rowNumber)
                                         .arg(c.info.name, shown, kindWords(c.kind)));
            }
        } else if (nsOfUri(a.uri) == Ns::Rowset && local(a.name) == u"forcenull") {
            for (const QByteArray& name : a.value.toByteArray().simplified().split(' '))
                if (const auto it = byXmlName.constFind(QString::fromUtf8(name));
                    it != byXmlName.cend())
                    cells[size_t(*it)].setNull();
        }
    }
    return true;
}

bool Reader::Impl::next()
{
    if (failed || done)
        return false;
    const auto deliver = [this](std::pair<RawRow, std::optional<RawRow>> row) {
        current = std::move(row);
        ++rows;
        clearRow();
        // In the changed row of an update a missing attribute means "unchanged".
        if (current.second && !apply(*current.second, rows))
            return false;
        return apply(current.first, rows);
    };
    for (;;) {
        if (!queue.empty()) {
            auto row = std::move(queue.front());
            queue.pop_front();
            return deliver(std::move(row));
        }
        if (where == Where::After) {
            done = true;
            finishDocument();
            return false;
        }
        switch (parser->next(&tag)) {
        case Tokenizer::Event::Failed:
        case Tokenizer::Event::Done:
            return parserFailed();
        case Tokenizer::Event::End:
            if (tag.depth == dataDepth) {
                where = Where::After;
            } else if (where == Where::Update && tag.depth == dataDepth + 1) {
                // Originals without a changed row stand as they were.
                while (!originals.empty()) {
                    queue.emplace_back(std::move(originals.front()), std::nullopt);
                    originals.pop_front();
                }
                where = Where::Data;
            } else if (where == Where::Insert && tag.depth == dataDepth + 1) {
                where = Where::Data;
            }
            break;
        case Tokenizer::Event::Start: {
            const int level = tag.depth - dataDepth;
            if (level == 1 && where == Where::Data) {
                if (isRow(tag)) {
                    if (!rowTag(tag, &direct, false))
                        return false;
                    // A plain row is read where it stands.
                    current.first.attrs.swap(direct.attrs);
                    current.first.owned.swap(direct.owned);
                    current.first.nestedPos = direct.nestedPos;
                    current.first.nestedName = direct.nestedName;
                    current.second.reset();
                    ++rows;
                    clearRow();
                    return apply(current.first, rows);
                }
                if (!tag.empty && isTagElem(tag, Ns::Rowset, u"insert")) {
                    where = Where::Insert;
                } else if (!tag.empty && isTagElem(tag, Ns::Rowset, u"update")) {
                    where = Where::Update;
                    originals.clear();
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false; // rs:delete holds rows that are gone; anything else is not ours
                }
            } else if (level == 2 && where == Where::Insert) {
                if (isRow(tag)) {
                    RawRow row;
                    if (!rowTag(tag, &row, true))
                        return false;
                    queue.emplace_back(std::move(row), std::nullopt);
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false;
                }
            } else if (level == 2 && where == Where::Update) {
                if (!tag.empty && isTagElem(tag, Ns::Rowset, u"original")) {
                    // rs:original holds the row before the change.
                    const int depth = tag.depth;
                    for (bool inside = true; inside;) {
                        switch (parser->next(&tag)) {
                        case Tokenizer::Event::Start:
                            if (tag.depth == depth + 1 && isRow(tag)) {
                                RawRow row;
                                if (!rowTag(tag, &row, true))
                                    return false;
                                originals.push_back(std::move(row));
                            } else if (!tag.empty && !skipSubtree(tag.depth)) {
                                return false;
                            }
                            break;
                        case Tokenizer::Event::End:
                            inside = tag.depth != depth;
                            break;
                        case Tokenizer::Event::Done:
                        case Tokenizer::Event::Failed:
                            return parserFailed();
                        }
                    }
                } else if (isRow(tag)) {
                    RawRow row;
                    if (!rowTag(tag, &row, true))
                        return false;
                    std::optional<RawRow> original;
                    if (!originals.empty()) {
                        original = std::move(originals.front());
                        originals.pop_front();
                    }
                    queue.emplace_back(std::move(row), std::move(original));
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false;
                }
            } else if (!tag.empty && !skipSubtree(tag.depth)) {
                return false;
            }
            break;
        }
        }
    }
}

Reader::Reader() : d(std::make_unique<Impl>()) {}

Reader::~Reader() = default;

bool Reader::open(QByteArray data)
{
    d = std::make_unique<Impl>();
    return d->open(std::move(data));
}

bool Reader::openFile(const QString& path)
{
    d = std::make_unique<Impl>();
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        d->failed = true;
        return fail(&d->error,
                    QStringLiteral("Cannot open \"%1\": %2").arg(shown, file.errorString()));
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        d->failed = true;
        return fail(&d->error,
                    QStringLiteral("Cannot read \"%1\": %2").arg(shown, file.errorString()));
    }
    file.close();
    d->path = shown;
    if (d->open(std::move(data)))
        return true;
    d->error.message = QStringLiteral("\"%1\": %2").arg(shown, d->error.message);
    return false;
}

const ColumnList& Reader::columns() const
{
    return d->columns;
}

int Reader::columnIndex(const QString& name) const
{
    for (int i = 0; i < d->columns.size(); ++i)
        if (d->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool Reader::next()
{
    if (d->next())
        return true;
    if (d->failed && !d->path.isEmpty() && !d->error.message.startsWith(u'"'))
        d->error.message = QStringLiteral("\"%1\": %2").arg(d->path, d->error.message);
    return false;
}

bool Reader::failed() const
{
    return d->failed;
}

const Error& Reader::error() const
{
    return d->error;
}

const Cell& Reader::cell(int column) const
{
    return d->cells[size_t(column)];
}

QVariant Reader::value(int column) const
{
    const Cell& c = d->cells[size_t(column)];
    if (c.kind == Cell::Kind::Integer)
        return QVariant(int(c.integer));
    return c.toVariant();
}

int Reader::rowNumber() const
{
    return d->rows;
}

Error Reader::cellPosition(int column) const
{
    Error where;
    const qsizetype pos = d->cellPos[size_t(column)];
    if (pos >= 0)
        XmlText::locate(d->text, pos, &where);
    return where;
}

namespace {

bool readInto(Reader& reader, RowTable* table, Error* error)
{
    RowTable result;
    result.columns = reader.columns();
    while (reader.next()) {
        RowValues row;
        row.reserve(result.columns.size());
        for (int k = 0; k < result.columns.size(); ++k)
            row << reader.value(k);
        result.rows.append(std::move(row));
    }
    if (reader.failed()) {
        *error = reader.error();
        return false;
    }
    *table = std::move(result);
    return true;
}

} // namespace

namespace {

/// Opens a reader with open (which reports through the reader) and reads
/// the whole table from it.
template <typename Open> bool readWith(RowTable* table, Error* error, const Open& open)
{
    Error scratch;
    if (!error)
        error = &scratch;
    *error = Error();
    if (!table)
        return fail(error, QStringLiteral("No table was given to read into."));
    Reader reader;
    if (!open(reader)) {
        *error = reader.error();
        return false;
    }
    return readInto(reader, table, error);
}

} // namespace

bool read(const QByteArray& data, RowTable* table, Error* error)
{
    return readWith(table, error, [&data](Reader& r) { return r.open(data); });
}

bool readFile(const QString& path, RowTable* table, Error* error)
{
    return readWith(table, error, [&path](Reader& r) { return r.openFile(path); });
}

} // namespace AdoXml
