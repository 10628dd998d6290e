#pragma once

#include <QValidator>

// Keeps a text usable as one file name on every system the editor builds
// for. validate() removes what a file name cannot hold (path separators, the
// characters \ / : * ? " < > |, control characters) and cuts the name to
// MAX_LENGTH characters, then answers Acceptable for a usable name and
// Intermediate for one that is not usable yet: empty, "." or "..", or
// beginning or ending with a blank, or ending with a dot.
class FileNameValidator : public QValidator
{
    Q_OBJECT

public:
    static constexpr int MAX_LENGTH = 255;

    explicit FileNameValidator(QObject *parent = nullptr);
    ~FileNameValidator() override;

    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

    // The text without the characters a file name cannot hold, cut to
    // MAX_LENGTH.
    static QString cleaned(const QString &text);
    static bool isUsable(const QString &name);
};
