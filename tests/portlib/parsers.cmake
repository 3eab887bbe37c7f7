vembrix_add_test(NAME parser_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PrinterParserTest.cpp ${CMAKE_CURRENT_LIST_DIR}/RelvoParserTest.cpp
  LIBS cvnport_core LABELS threads)
