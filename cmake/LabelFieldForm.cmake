# cmake -DINPUT=raw.h -DOUTPUT=ui_form.h -P LabelFieldForm.cmake
# Makes every form layout of a uic header a LabelFieldLayout, and makes the
# contents of every scroll area inside its viewport.
file(READ "${INPUT}" _text)
string(REPLACE "QFormLayout *" "LabelFieldLayout *" _text "${_text}")
string(REPLACE "new QFormLayout(" "new LabelFieldLayout(" _text "${_text}")
string(REPLACE "#include <QtWidgets/QFormLayout>"
    "#include <QtWidgets/QFormLayout>\n#include \"editor_core/LabelFieldLayout.h\"" _text "${_text}")
# uic makes a scroll area's contents without a parent and hands them over at
# the end: the move restyles every widget in them again under the style
# sheet. Made inside the viewport from the start, they are where setWidget
# would put them (nothing else is a child of the viewport) and are styled
# once.
string(REGEX MATCHALL "[A-Za-z_0-9]+->setWidget\\([A-Za-z_0-9]+\\)" _handovers "${_text}")
foreach(_handover IN LISTS _handovers)
    string(REGEX REPLACE "^([A-Za-z_0-9]+)->setWidget\\(.*$" "\\1" _area "${_handover}")
    string(REGEX REPLACE "^.*->setWidget\\(([A-Za-z_0-9]+)\\)$" "\\1" _contents "${_handover}")
    set(_made "${_contents} = new QWidget(${_area}->viewport());")
    string(REPLACE "${_contents} = new QWidget();" "${_made}" _text "${_text}")
    string(FIND "${_text}" "${_made}" _found)
    if(_found EQUAL -1)
        message(FATAL_ERROR "${INPUT}: the contents of ${_area} are not made as expected")
    endif()
endforeach()
file(WRITE "${OUTPUT}" "${_text}")
