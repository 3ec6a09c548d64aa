#pragma once

#include <QString>

// One converted address: the text as it was given and its four IPv6 forms, in
// the order the result boxes and the results table show them. A form whose
// conversion failed stays the empty text.
struct ConversionResult
{
    QString Original;
    QString Full;
    QString Shorthand;
    QString DotFull;
    QString DotShorthand;
};
