#pragma once

#include <QDoubleValidator>

// A QDoubleValidator in standard notation that always reads and writes the
// "C" number format (a dot, no group separators), whatever the default
// locale is.
class DoubleValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    DoubleValidator(double bottom, double top, int decimals, QObject *parent = nullptr);
};
