#include "editor/assembly/ui/assembly_file_name_validator.h"

namespace assembly {

AssemblyFileNameValidator::AssemblyFileNameValidator(QObject *parent)
    : FileNameValidator(parent)
{}

AssemblyFileNameValidator::~AssemblyFileNameValidator() = default;

QValidator::State AssemblyFileNameValidator::validate(QString &input, int &pos) const
{
    FileNameValidator::validate(input, pos);
    return Acceptable;
}

} // namespace assembly
