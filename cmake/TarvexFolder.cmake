# tarvex_folder(<name> CORE_LIBS <libs...> GUI_LIBS <libs...> [GUI_EXTRA <files...>])
#
# Builds the sources of one src/ folder as two static libraries:
#   tarvex_<name>_core  the GUI-free classes (never links Qt Widgets)
#   tarvex_<name>       the screens: files named frm*, plus GUI_EXTRA
# New files are picked up by the glob; a folder's CMakeLists only lists
# which non-screen files need widgets.
function(tarvex_folder name)
    cmake_parse_arguments(ARG "" "" "CORE_LIBS;GUI_LIBS;GUI_EXTRA;RESOURCES" ${ARGN})
    file(GLOB all_sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    set(core_sources)
    set(gui_sources)
    foreach(f IN LISTS all_sources)
        get_filename_component(base ${f} NAME)
        get_filename_component(stem ${f} NAME_WE)
        if(base MATCHES "^frm" OR stem IN_LIST ARG_GUI_EXTRA)
            list(APPEND gui_sources ${f})
        else()
            list(APPEND core_sources ${f})
        endif()
    endforeach()
    add_library(tarvex_${name}_core STATIC ${core_sources} ${ARG_RESOURCES})
    target_include_directories(tarvex_${name}_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(tarvex_${name}_core PUBLIC Qt6::Core ${ARG_CORE_LIBS})
    if(gui_sources)
        add_library(tarvex_${name} STATIC ${gui_sources})
        target_include_directories(tarvex_${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(tarvex_${name} PUBLIC tarvex_${name}_core Qt6::Widgets ${ARG_GUI_LIBS})
    else()
        add_library(tarvex_${name} INTERFACE)
        target_link_libraries(tarvex_${name} INTERFACE tarvex_${name}_core)
    endif()
endfunction()
