# Precompiled headers. Most of a compile here is the compiler reading Qt's and the standard
# library's headers again for every file, so each kind of target reuses one precompiled set
# instead of making its own. Kinds differ in what the set may hold: a widget-free core library
# must not see widget headers (that is what keeps widgets out of it), and the precompiled file
# is only valid for targets built with the same position-independence and Qt modules. GCC only:
# the fuzz build with clang goes without.

set(zm_pch_core
  <algorithm> <array> <atomic> <chrono> <cstdint> <cstdio> <cstring> <functional> <memory>
  <mutex> <optional> <span> <string> <thread> <vector>
  <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QElapsedTimer> <QFile> <QFileInfo>
  <QList> <QObject> <QProcess> <QRegularExpression> <QSaveFile> <QString> <QStringList>
  <QTemporaryDir> <QThread> <QTimer>)
set(zm_pch_widgets
  <QApplication> <QCheckBox> <QComboBox> <QDialog> <QFileDialog> <QImage> <QLabel>
  <QLineEdit> <QPainter> <QPushButton> <QWidget>)

# Whether a target links a library, directly or through our own libraries.
function(zm_links target library result)
  set(seen "")
  set(todo ${target})
  set(found FALSE)
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    if(t STREQUAL library)
      set(found TRUE)
      break()
    endif()
    if(TARGET ${t})
      get_target_property(imported ${t} IMPORTED)
      if(NOT imported)
        get_target_property(libs ${t} LINK_LIBRARIES)
        if(libs)
          list(APPEND todo ${libs})
        endif()
      endif()
    endif()
  endwhile()
  set(${result} ${found} PARENT_SCOPE)
endfunction()

function(zm_targets_in dir result)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    zm_targets_in(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${result} ${targets} PARENT_SCOPE)
endfunction()

# The precompiled set of a target is only used when the target defines the same Qt module macros
# as its host and has the same position independence (-fPIC for libraries, -fPIE for programs),
# so there is one host for each kind and set of Qt modules, made when a target first needs it.
function(zm_pch_host kind modules result)
  string(REPLACE ";" "_" suffix "${modules}")
  set(host zm_pch_${kind}_${suffix})
  if(NOT TARGET ${host})
    set(headers ${zm_pch_core})
    if("Widgets" IN_LIST modules)
      list(APPEND headers ${zm_pch_widgets})
    endif()
    if(kind STREQUAL "lib")
      add_library(${host} STATIC ${CMAKE_BINARY_DIR}/zm_pch.cpp)
    else()
      add_executable(${host} ${CMAKE_BINARY_DIR}/zm_pch_main.cpp)
    endif()
    list(TRANSFORM modules PREPEND Qt6:: OUTPUT_VARIABLE libraries)
    target_link_libraries(${host} PRIVATE ${libraries})
    target_precompile_headers(${host} PRIVATE ${headers})
    set_target_properties(${host} PROPERTIES EXCLUDE_FROM_ALL ON AUTOMOC OFF AUTOUIC OFF
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/pch)
  endif()
  set(${result} ${host} PARENT_SCOPE)
endfunction()

function(zm_precompile_headers)
  file(WRITE ${CMAKE_BINARY_DIR}/zm_pch.cpp "// The precompiled headers' host.\n")
  file(WRITE ${CMAKE_BINARY_DIR}/zm_pch_main.cpp "int main() { return 0; }\n")
  zm_targets_in(${CMAKE_SOURCE_DIR} targets)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      set(kind lib)
    elseif(type STREQUAL "EXECUTABLE")
      set(kind exe)
    else()
      continue()
    endif()
    # Each module brings Core, and Widgets brings Gui, through Qt's own targets.
    set(modules "")
    foreach(module Core Gui Widgets SerialPort)
      zm_links(${t} Qt6::${module} linked_${module})
    endforeach()
    if(linked_Widgets)
      set(linked_Gui TRUE)
    endif()
    zm_links(${t} Qt6::Test linked_Test)
    if(linked_Gui OR linked_SerialPort OR linked_Test)
      set(linked_Core TRUE)
    endif()
    foreach(module Core Gui Widgets SerialPort)
      if(linked_${module})
        list(APPEND modules ${module})
      endif()
    endforeach()
    if(NOT modules)
      continue()
    endif()
    zm_pch_host(${kind} "${modules}" host)
    target_precompile_headers(${t} REUSE_FROM ${host})
  endforeach()
endfunction()

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  zm_precompile_headers()
endif()
