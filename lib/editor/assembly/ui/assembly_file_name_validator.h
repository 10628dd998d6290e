#pragma once

#include <editor_core/FileNameValidator.h>

namespace assembly {

// The project name's validator: the file-name rules adjust what is typed,
// but the text is always acceptable, so that typing is never blocked and an
// unfinished name is still sent when editing ends (the build's validation
// judges it).
class AssemblyFileNameValidator : public FileNameValidator
{
    Q_OBJECT

public:
    explicit AssemblyFileNameValidator(QObject *parent = nullptr);
    ~AssemblyFileNameValidator() override;

    State validate(QString &input, int &pos) const override;
};

} // namespace assembly
