# Build-time helpers. Qt's widget headers are most of what the window's files
# cost to compile: a target that uses them parses them once, as a
# precompiled header, instead of once per file.
set(ZORVAN_QT_WIDGET_HEADERS
  <QAction> <QApplication> <QHeaderView> <QLabel> <QLineEdit> <QListWidget> <QMenu> <QPointer> <QPushButton>
  <QString> <QTimer> <QTreeWidget> <functional> <memory> <string> <vector>)

function(zorvan_precompile_qt_widgets target)
  target_precompile_headers(${target} PRIVATE ${ZORVAN_QT_WIDGET_HEADERS} ${ARGN})
endfunction()

# The test files themselves (*_test.cpp) are compiled for debugging (-Og) in
# the optimised build, and compile in half the time; the code under test and
# the test support (servers, file readers, data makers, which move gigabytes
# in the soak) keep -O2.
function(zorvan_debuggable_test_sources target)
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "_test\\.cpp$")
      set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS $<$<CONFIG:RelWithDebInfo,Release>:-Og>)
    endif()
  endforeach()
endfunction()
