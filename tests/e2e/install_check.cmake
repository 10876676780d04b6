# Installs the build into PREFIX and checks that each file is where a desktop
# looks for it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file
    bin/corvane-ombrel
    share/applications/com.varnhollow.CorvaneOmbrel.desktop
    share/icons/hicolor/32x32/apps/corvane-ombrel.png
    share/icons/hicolor/16x16/apps/corvane-ombrel.png
    share/corvane-ombrel/pictures/icons/logo.png
    share/corvane-ombrel/pictures/toolbar/toolbar_back.png
    share/metainfo/com.varnhollow.CorvaneOmbrel.metainfo.xml
    share/man/man1/corvane-ombrel.1.gz
    share/doc/corvane-ombrel/changelog.gz)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/com.varnhollow.CorvaneOmbrel.desktop entry)
foreach(line "Exec=corvane-ombrel" "Icon=corvane-ombrel" "Name=Corvane Ombrel" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
