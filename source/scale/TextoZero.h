#pragma once

#include <QString>

// The raw text of a poll that brought nothing: five groups of nine "0" separated by CR
// (49 characters). The weight server's no-scale reply is "S" followed by it.
inline const QString kTextoZero = QStringLiteral(
    "000000000\r000000000\r000000000\r000000000\r000000000");
