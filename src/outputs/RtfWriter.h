#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/// Writes a Rich Text Format document of paragraphs and table rows, in the
/// subset that Word, LibreOffice Writer and WordPad all read. Lengths are in
/// twips (1/1440 inch, 1/20 point).
class RtfWriter
{
public:
    struct Page
    {
        int width = 11906; ///< A4
        int height = 16838;
        bool landscape = false; ///< width and height are then already swapped
        int marginLeft = 720, marginRight = 720, marginTop = 720, marginBottom = 720;
    };

    enum class Align
    {
        Left,
        Centre,
        Right
    };

    struct Style
    {
        int font = 0; ///< index into the fonts given to the constructor
        double pointSize = 10;
        bool bold = false;
        bool italic = false;
        Align align = Align::Left;
        int lineHeight = 0; ///< exact line height; 0 lets the reader choose
        int spaceBefore = 0;
        int spaceAfter = 0;
    };

    struct Cell
    {
        QString text;
        int right = 0; ///< right edge, from the left margin
        Align align = Align::Left;
        bool bold = false;
        bool italic = false;
    };

    struct Row
    {
        int height = 0;         ///< exact height; 0 lets the reader choose
        int padding = 0;        ///< blank kept inside each cell, left and right
        bool header = false;    ///< repeated at the top of each page the table runs onto
        bool ruleAbove = false; ///< a thin line over the row's cells
        bool ruleBelow = false; ///< a thin line under them
        bool keepWithNext = false;
    };

    /// fonts: the font table; the first is the document's default.
    RtfWriter(const Page& page, const QStringList& fonts);

    void paragraph(const QString& text, const Style& style);
    /// One table row; style gives the font, size and line height of its cells.
    void row(const QList<Cell>& cells, const Style& style, const Row& row);
    /// The next paragraph or row starts a new page.
    void pageBreak() { breakPending_ = true; }

    /// The document, closed.
    QByteArray finish();

    /// Text as RTF: \, { and } escaped, tab and line break as control words,
    /// other control characters left out, everything beyond ASCII as \u with
    /// "?" for readers that cannot show it.
    static QByteArray escaped(const QString& text);

private:
    QByteArray characterFormat(const Style& style, bool bold, bool italic) const;

    QByteArray out_;
    bool breakPending_ = false;
};
