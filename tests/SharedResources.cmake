# What the tests share, and which tests claim it.
#
# ctest runs the tests side by side, each as a process of its own in the one Wine prefix. Names a
# test chooses itself carry its process id (scratch folders and keys), so they never meet. What the
# program under test names itself -- the product key, the processes it ends by name, the tray
# window, the browser helper's registration, the user's shell folders, the system's list of
# deletions for the restart -- a test claims here instead: tests that claim the same resource never
# run at the same time (ctest's RESOURCE_LOCK); ALONE runs a test with no other test at all.
#
# ctest reads this file after the test programs have listed their tests (tests/CMakeLists.txt adds
# it to each test folder). A pattern is a regular expression matched against the whole test name.

set(ta_claims "")
# A function, not a macro: a macro would read its patterns again as code, backslashes and all.
function(ta_claim resource)
    foreach(ta_pattern IN LISTS ARGN)
        list(APPEND ta_claims "${resource}" "${ta_pattern}")
    endforeach()
    set(ta_claims "${ta_claims}" PARENT_SCOPE)
endfunction()

# The tests that run the real program, which acts on all of it, and takes the one instance of
# itself a machine may run.
set(ta_program [[(WizardDriverTest|SingleInstance|UnattendedRemoval)\..*]])
ta_claim(instance-mutex "${ta_program}")

# These end every process of their own program's name but their own, and so any test of the same
# program running beside them.
ta_claim(ALONE [[ProKill\.NeverEndsOurOwnProcess]] [[ProductKey\.NeverEndsOurOwnProcessNamedByProgram]])

# The registry's trace beside the programs (taupdbg.dbg), one file for every program of the build
# folder: every test that reads or writes the registry through the program's code writes it. These
# hold it, put a link in its place or read its last line back.
ta_claim(ALONE [[DebugLog\..*]] [[UnattendedRemoval\.NeitherLogIsWrittenThroughALink.*]]
    [[UnattendedRemoval\.ADebugLogHeldByAnotherProgram.*]])

# HKLM\SOFTWARE\Morla, and what the removal deletes with it (the uninstall entry, the autorun
# value): the pages read it, the tests lay it and the removal deletes it.
ta_claim(product-key
    [[ProductKey\..*]] [[Forms/ProgramForms\..*]] [[RemoveRegistryEntriesTest\..*]]
    [[(StartPageTest|KeyboardTest|ProgressPageTest|FinishPageTest|PageReading|PageScaling|PageDpiChange)\..*]]
    "${ta_program}")

# Processes ended by name anywhere in the prefix: the product's fixed list, and what the product
# key's "PROGRAM" names.
ta_claim(product-processes
    [[ProKill\..*]] [[ProductKey\..*]] [[Forms/ProgramForms\..*]] [[(StartPageTest|KeyboardTest)\..*]]
    "${ta_program}")

# The product's tray window, found by its class and caption, which every shutdown notifies.
ta_claim(tray-window
    [[ProductKey\..*]] [[Forms/ProgramForms\..*]] [[(StartPageTest|KeyboardTest)\..*]] "${ta_program}")

# The browser helper's class, program identifier, type library and helper key.
ta_claim(browser-helper [[ComponentStepsTest\..*]] [[ProgressPageTest\..*]] "${ta_program}")

# The user's shell folders (HKCU "User Shell Folders"), the profile list and the hives loaded
# from it, where the product's shortcuts are looked for.
ta_claim(shell-folders [[ShortcutsTest\..*]] [[ProgressPageTest\..*]] "${ta_program}")

# The system's PendingFileRenameOperations, which a test saves and puts back whole, and the
# private folders at the root of drive C: where files wait for the restart.
ta_claim(restart-deletions
    [[FileStepsTest\.(FilesInUseGoAtTheRestart|WhatKeepsAFileIsRecorded|AFileHeldOpen).*]]
    [[InstallationCheck\.AFileForTheRestart.*]] [[ProgressPageTest\..*]] "${ta_program}")

# Every test program's list of its tests (TEST_LIST of gtest_discover_tests) in this folder.
get_cmake_property(ta_lists VARIABLES)
list(FILTER ta_lists INCLUDE REGEX "^test_.*_TESTS$")
foreach(ta_list IN LISTS ta_lists)
    foreach(ta_test IN LISTS ${ta_list})
        set(ta_locks "")
        set(ta_alone FALSE)
        set(ta_index 0)
        list(LENGTH ta_claims ta_length)
        while(ta_index LESS ta_length)
            list(GET ta_claims ${ta_index} ta_resource)
            math(EXPR ta_index "${ta_index} + 1")
            list(GET ta_claims ${ta_index} ta_pattern)
            math(EXPR ta_index "${ta_index} + 1")
            if(ta_test MATCHES "^(${ta_pattern})$")
                if(ta_resource STREQUAL "ALONE")
                    set(ta_alone TRUE)
                else()
                    list(APPEND ta_locks "${ta_resource}")
                endif()
            endif()
        endwhile()
        if(ta_alone)
            set_tests_properties("${ta_test}" PROPERTIES RUN_SERIAL TRUE)
        endif()
        if(ta_locks)
            list(REMOVE_DUPLICATES ta_locks)
            set_tests_properties("${ta_test}" PROPERTIES RESOURCE_LOCK "${ta_locks}")
        endif()
    endforeach()
endforeach()
