# Run at test time by CTest: lists the suites of one GoogleTest executable and adds one CTest test
# per suite. A suite runs in one Wine process, which keeps process start-ups few.
#   -D EXE=... -D EMULATOR=... -D OUT=... -D FILTER=... -D SUFFIX=... -D SCREEN=0|1 -D PREFIX=...
#   -D SERVER_STATE=...   suites named *LocalServer run with the local download server (that folder)
#   -D STORE_STATE=...    suites named *WizardStore run, one at a time, with a download server of their
#                         own (that folder), whose store they fill themselves
execute_process(COMMAND ${EMULATOR} ${EXE} --gtest_list_tests --gtest_filter=${FILTER}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc TIMEOUT 300)
if(NOT rc EQUAL 0)
  file(WRITE ${OUT} "add_test(${PREFIX}listing-failed${SUFFIX} false)\n")
  message(WARNING "Listing the tests of ${EXE} failed: ${rc}")
  return()
endif()
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # Suite lines stand at the start and end with "."; test names are indented.
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    set(suite ${CMAKE_MATCH_1})
    string(REPLACE "/" "_" name ${suite})
    if(SCREEN)
      set(f "${suite}.*OnScreen*")
    else()
      set(f "${suite}.*-*OnScreen*")
    endif()
    string(APPEND script "add_test([=[${PREFIX}${name}${SUFFIX}]=] ${EMULATOR} [=[${EXE}]=] [=[--gtest_filter=${f}]=])\n")
    string(APPEND script "set_tests_properties([=[${PREFIX}${name}${SUFFIX}]=] PROPERTIES TIMEOUT 300)\n")
    if(SCREEN)
      string(APPEND script "set_tests_properties([=[${PREFIX}${name}${SUFFIX}]=] PROPERTIES ENVIRONMENT QAL_SCREEN=1 LABELS screen)\n")
    elseif(suite MATCHES "LocalServer$" AND SERVER_STATE)
      string(APPEND script "set_tests_properties([=[${PREFIX}${name}${SUFFIX}]=] PROPERTIES FIXTURES_REQUIRED download_server ENVIRONMENT [=[QAL_DOWNLOAD_SERVER=${SERVER_STATE}]=] LABELS net)\n")
    elseif(suite MATCHES "WizardStore$" AND STORE_STATE)
      string(APPEND script "set_tests_properties([=[${PREFIX}${name}${SUFFIX}]=] PROPERTIES FIXTURES_REQUIRED wizard_store RESOURCE_LOCK wizard_store ENVIRONMENT [=[QAL_DOWNLOAD_SERVER=${STORE_STATE}]=] LABELS net)\n")
    endif()
  endif()
endforeach()
file(WRITE ${OUT} "${script}")
