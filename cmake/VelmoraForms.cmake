# Generated forms whose form layouts are the editor's label/field layouts.
#
# uic writes the rows of a QFormLayout with setWidget/setLayout(row, role),
# but a layout class of our own only with addWidget, which loses the rows.
# So such a form names its form layouts QFormLayout in the .ui, and the
# generated header is switched to LabelFieldLayout (a QFormLayout, so the
# same calls apply).
#   velmora_label_field_form(target path/to/form.ui)
# The source that includes "ui_form.h" must not be seen by AUTOUIC for it:
# the header comes from here.
set(_velmora_forms_script "${CMAKE_CURRENT_LIST_DIR}/LabelFieldForm.cmake")

function(velmora_label_field_form target ui)
    get_filename_component(_ui "${ui}" ABSOLUTE)
    get_filename_component(_name "${ui}" NAME_WE)
    set(_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_forms")
    set(_raw "${_dir}/ui_${_name}.uic.h")
    set(_out "${_dir}/ui_${_name}.h")
    add_custom_command(OUTPUT "${_out}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
        COMMAND Qt5::uic -o "${_raw}" "${_ui}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${_raw} -DOUTPUT=${_out} -P "${_velmora_forms_script}"
        DEPENDS "${_ui}" "${_velmora_forms_script}" Qt5::uic
        COMMENT "Generating the form ui_${_name}.h"
        VERBATIM)
    target_sources(${target} PRIVATE "${_out}")
    set_source_files_properties("${_out}" PROPERTIES GENERATED TRUE SKIP_AUTOMOC TRUE SKIP_AUTOUIC TRUE)
    target_include_directories(${target} PRIVATE "${_dir}")
endfunction()
