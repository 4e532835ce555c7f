# The program itself: olvarin.exe with its resources and the help pages
# beside it.
# Pieces of the program that other work provides stand in with empty bodies
# until a source of the build defines them.
file(GLOB_RECURSE OLVARIN_ALL_SOURCES ${PROJECT_SOURCE_DIR}/src/*.cpp)
list(FILTER OLVARIN_ALL_SOURCES EXCLUDE REGEX "/src/ui/pending/")
function(olvarin_defined_anywhere pattern result)
    set(${result} FALSE PARENT_SCOPE)
    foreach(source ${OLVARIN_ALL_SOURCES})
        file(STRINGS ${source} hits REGEX "${pattern}")
        if(hits)
            set(${result} TRUE PARENT_SCOPE)
            return()
        endif()
    endforeach()
endfunction()
set(OLVARIN_STAND_INS)
foreach(piece "operation|StartOperation")
    string(REPLACE "|" ";" piece ${piece})
    list(GET piece 0 file)
    list(GET piece 1 symbol)
    olvarin_defined_anywhere("^[A-Za-z_]+[ *]+${symbol}\\(HWND" found)
    if(NOT found)
        list(APPEND OLVARIN_STAND_INS src/ui/pending/${file}.cpp)
    endif()
endforeach()

add_executable(olvarin WIN32
    src/ui/winmain.cpp
    ${OLVARIN_STAND_INS})
target_link_libraries(olvarin PRIVATE olvarin_resources olvarin_win)

# The help pages go beside the program, where the Help buttons look for them.
file(GLOB OLVARIN_HELP_PAGES ${PROJECT_SOURCE_DIR}/help/html/*)
add_custom_command(TARGET olvarin POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:olvarin>/help/html
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OLVARIN_HELP_PAGES} $<TARGET_FILE_DIR:olvarin>/help/html
    COMMENT "Copying the help pages beside the program")

# The 32-bit build is the product and cannot run here: check what it is.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    enable_testing()
    add_test(NAME product_check
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-product.sh $<TARGET_FILE:olvarin>)
endif()
