# Fails the build when a folder includes a header of a folder it may not use.
# The libraries' links already keep a lower layer from reaching the window
# toolkit or the sound libraries; this also catches a header of our own that
# needs nothing more than Qt Core.
#
# Each entry: a folder and the folders its code may include from.
set(vovozodo_layers
    "handles:"
    "platform:handles"
    "library:platform handles"
    "playback:library platform handles"
    "ui:playback library platform"
    "startup:ui playback library platform"
    "app:startup"
    "lessons:lessons library platform handles"
    "editor:editor lessons library platform handles")

set(layer_sources)
foreach(entry IN LISTS vovozodo_layers)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 folder)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h
                                        ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND layer_sources ${sources})
endforeach()

string(REPLACE ";" "|" layers_argument "${vovozodo_layers}")
set(stamp ${PROJECT_BINARY_DIR}/layering.stamp)
add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DROOT=${PROJECT_SOURCE_DIR}" "-DLAYERS=${layers_argument}"
            -P ${CMAKE_CURRENT_LIST_DIR}/check-layering.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${layer_sources} ${CMAKE_CURRENT_LIST_DIR}/check-layering.cmake
    COMMENT "Checking the folders' includes against their layers"
    VERBATIM)
add_custom_target(vovozodo_layering ALL DEPENDS ${stamp})
