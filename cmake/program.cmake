# The program itself: olvarin.exe with its resources and the help pages
# beside it.
add_executable(olvarin WIN32 src/ui/winmain.cpp)
target_link_libraries(olvarin PRIVATE olvarin_resources olvarin_ui)

# The help pages go beside the program, where the Help buttons look for them.
file(GLOB OLVARIN_HELP_PAGES ${PROJECT_SOURCE_DIR}/help/html/*)
add_custom_command(TARGET olvarin POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:olvarin>/help/html
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OLVARIN_HELP_PAGES} $<TARGET_FILE_DIR:olvarin>/help/html
    COMMENT "Copying the help pages beside the program")

# The 32-bit build is the product: check what it is, beside running its tests.
# Large-address-aware, so that on 64-bit Windows a signature of millions of
# files may use 4 GB instead of 2.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(olvarin PRIVATE -Wl,--large-address-aware)
    enable_testing()
    add_test(NAME product_check
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-product.sh $<TARGET_FILE:olvarin>)
endif()

# The console program: the same operations for unattended runs, with exit
# codes. Console subsystem, with the program's icon and manifest; the engine
# without the window program.
add_executable(olvarin-cli src/cli/olvarin_cli.cpp src/cli/command_line.cpp src/cli/commands.cpp
    src/cli/console_output.cpp)
target_link_libraries(olvarin-cli PRIVATE olvarin_cli_resources olvarin_engine)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(olvarin-cli PRIVATE -Wl,--large-address-aware)
    add_test(NAME product_check_cli
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-product.sh $<TARGET_FILE:olvarin-cli> console)
endif()
