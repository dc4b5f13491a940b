#pragma once

#include <QString>

/// The check-list heading: the company's name, in the font of the settings
/// Options/Font and Options/FontSize when both are given (a size whose
/// number value is 0 keeps the report's own font).
struct HeadFont
{
    bool changeFont = false;
    QString family;
    double size = 0;
    QString text;
};

HeadFont ApplyHeadFont(const QString& companyName);
