vembrix_add_test(NAME net_port_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetPortTest.cpp
  LIBS cvnport_core vprinter_peer
  LABELS threads)
