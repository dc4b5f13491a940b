#pragma once

#include "XmlCharacters.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <vector>

/// XML 1.0 with namespaces, read as a stream of tags from UTF-8 text: what
/// the reader of ADO's saved rowsets (AdoXmlReader.h) stands on. Only
/// well-formed, namespace-well-formed documents pass; anything else stops at
/// the first fault with its position. Text between tags is checked and
/// dropped: the formats read on it carry everything in attributes.
///
/// Entities other than the five predefined ones, and declarations inside a
/// document type, are refused: no writer of our formats uses them, and a
/// reader that skipped them would read what the sender did not write.
namespace XmlText {

/// A name as written and its parts.
struct Name
{
    QByteArray qname;
    QByteArray prefix; ///< "" when there is none
    QString local;
    QString qnameText;
    bool qualified = true; ///< a QName: at most one colon, with a name on each side
};

struct Attribute
{
    int name = 0;
    int uri = 0; ///< 0 is "" (an unprefixed attribute)
    QByteArrayView value;
    qsizetype pos = 0;
};

struct Tag
{
    int name = 0;
    int uri = 0;
    qsizetype pos = 0;
    int depth = 0; ///< 0 for the root
    bool empty = false;
    std::vector<Attribute> attrs;
    std::deque<QByteArray> decoded; ///< values that held references or line breaks, resolved
};

/// The tags of a document one at a time. Values of attributes are
/// normalised as XML says: a literal TAB, CR, LF (or CR LF) becomes a blank,
/// a character reference stays the character it names.
class Tokenizer
{
public:
    enum class Event
    {
        Start,
        End,
        Done,
        Failed,
    };

    /// The text (see decode()) must outlive the tokenizer.
    explicit Tokenizer(const QByteArray& text);

    /// The next start tag (tag filled; an empty element gives no End) or end
    /// tag (tag's name, uri and depth those of the element it closes); Done
    /// after the last, once the whole text was checked.
    Event next(Tag* tag);

    const Name& name(int id) const { return names_[size_t(id)]; }
    const QByteArray& uri(int id) const { return uris_[id]; }
    int uriCount() const { return int(uris_.size()); }
    qsizetype errorPos() const { return errorPos_; }
    const QString& errorMessage() const { return errorMessage_; }
    const QByteArray& text() const { return s_; }

private:
    Event fail(qsizetype pos, const QString& message);
    bool failed(qsizetype pos, const QString& message)
    {
        fail(pos, message);
        return false;
    }
    bool at(qsizetype i, std::string_view what) const;
    qsizetype skipSpace(qsizetype i) const;
    bool readName(qsizetype* i, QByteArrayView* name) const;
    int nameId(QByteArrayView qname);
    int uriId(QByteArrayView uri);
    bool xmlDeclaration();
    bool comment(qsizetype* i);
    bool processingInstruction(qsizetype* i);
    bool doctype(qsizetype* i);
    bool quoted(qsizetype* i, const char* what, bool pubid);
    bool readValue(qsizetype* i, char quote, Attribute* attr, Tag* tag);
    bool readReference(qsizetype* i, QByteArray* value);
    bool bindNamespaces(Tag* tag, QList<QByteArray>* declared);
    Event startTag(Tag* tag);
    Event endTag(Tag* tag);
    Event content(Tag* tag);
    int lookup(const QByteArray& prefix);
    void unbind(const QList<QByteArray>& prefixes)
    {
        for (const QByteArray& prefix : prefixes)
            bindings_[prefix].removeLast();
    }

    struct Open
    {
        int name;
        int uri;
        QList<QByteArray> declared;
    };

    const QByteArray& s_;
    const qsizetype n_;
    qsizetype i_ = 0;
    bool started_ = false;
    bool failed_ = false;
    bool doctypeSeen_ = false;
    std::deque<Name> names_;
    std::unordered_map<std::string_view, int> nameIds_;
    QList<QByteArray> uris_;
    QHash<QByteArray, int> uriIds_;
    /// Per name, the last tag that used it for an attribute: finds an
    /// attribute given twice without a set per tag.
    std::vector<qint64> lastTagOfName_;
    qint64 tags_ = 0;
    std::vector<Open> open_;
    QHash<QByteArray, QList<int>> bindings_;
    QByteArray scratch_;
    qsizetype errorPos_ = 0;
    QString errorMessage_;
};

} // namespace XmlText
