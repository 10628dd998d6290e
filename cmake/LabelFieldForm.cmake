# cmake -DINPUT=raw.h -DOUTPUT=ui_form.h -P LabelFieldForm.cmake
# Makes every form layout of a uic header a LabelFieldLayout.
file(READ "${INPUT}" _text)
string(REPLACE "QFormLayout *" "LabelFieldLayout *" _text "${_text}")
string(REPLACE "new QFormLayout(" "new LabelFieldLayout(" _text "${_text}")
string(REPLACE "#include <QtWidgets/QFormLayout>"
    "#include <QtWidgets/QFormLayout>\n#include \"editor_core/LabelFieldLayout.h\"" _text "${_text}")
file(WRITE "${OUTPUT}" "${_text}")
