# veltra_layer(NAME DIR [LINKS ...] [EXCLUDE regex...]): a static library of every .cpp directly
# in DIR. A folder with no sources is a mistake (a file moved or deleted), never a smaller build.
# A source named *_posix.cpp or *_win32.cpp is one system's side of a small interface: only
# this system's side is built.
function(veltra_layer name dir)
    cmake_parse_arguments(L "" "" "LINKS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
    endif()
    foreach(ex ${L_EXCLUDE})
        list(FILTER sources EXCLUDE REGEX "${ex}")
    endforeach()
    if(NOT sources)
        message(FATAL_ERROR "${dir} has no sources for the library ${name}")
    endif()
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${L_LINKS})
endfunction()
