# The presentation layer of the shared server (naming tables, the display-text rule): portable,
# so that the server links it in the cross build and every source's mapping links it in the
# native build too. Included by the server and by each module's codec; defined once.
if(NOT TARGET vyx_naming)
    add_library(vyx_naming STATIC
        ${CMAKE_CURRENT_LIST_DIR}/display_text.cpp
        ${CMAKE_CURRENT_LIST_DIR}/naming.cpp
    )
    target_include_directories(vyx_naming PUBLIC ${CMAKE_CURRENT_LIST_DIR})
endif()
