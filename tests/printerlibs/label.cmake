# The label library: ZPL, drawing and status reading against an in-memory printer.
vembrix_add_test(NAME label_library_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LabelZplTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LabelDrawingTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LabelPrinterStateTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/StatusQueryTest.cpp
  LIBS cvnlbl_core
  LABELS threads)
target_include_directories(label_library_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# The library as the service links it: through its exports and the real cvnport.
vembrix_add_test(NAME label_api_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LabelApiTest.cpp
  LIBS cvnlblapi cvnlbl_core vprinter_peer
  LABELS threads)

# libcvnlblapi.so exports the names of cvnlblapi.h and nothing else.
add_test(NAME cvnlblapi_exports
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:cvnlblapi>
          -DHEADER=${CMAKE_SOURCE_DIR}/printerlibs/label/include/cvnlblapi.h -DCALL=CVNLBLAPI_CALL
          -P ${CMAKE_SOURCE_DIR}/tests/portlib/CheckExports.cmake)

# The library through the real cvnport to the virtual printer's ZPL side.
vembrix_add_test(NAME label_vprinter_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LabelVirtualPrinterTest.cpp
  LIBS cvnlblapi cvnlbl_core vprinter_core
  LABELS threads)
