# Build-time helpers. Qt's widget headers are most of what the window's files
# cost to compile: a target that uses them parses them once, as a
# precompiled header, instead of once per file.
set(ZORVAN_QT_WIDGET_HEADERS
  <QAction> <QApplication> <QHeaderView> <QLabel> <QLineEdit> <QListWidget> <QMenu> <QPointer> <QPushButton>
  <QString> <QTimer> <QTreeWidget> <functional> <memory> <string> <vector>)

function(zorvan_precompile_qt_widgets target)
  target_precompile_headers(${target} PRIVATE ${ZORVAN_QT_WIDGET_HEADERS} ${ARGN})
endfunction()

# Test sources are compiled for debugging (-Og) in the optimised build: the
# code under test keeps -O2, and the large test files compile in half the time.
function(zorvan_debuggable_test_sources target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-Og>)
endfunction()
