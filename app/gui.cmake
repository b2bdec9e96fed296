# The Qt window (appgui) and the program (flashwrendel). Included from app/CMakeLists.txt
# when FW_BUILD_GUI is on.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
set(CMAKE_AUTOMOC ON)

add_library(appgui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/Unit1.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Unit1_ops.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Unit1.h
  ${CMAKE_CURRENT_SOURCE_DIR}/file_dialog_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/digest_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/window_font.cpp)
target_link_libraries(appgui PUBLIC appcore Qt6::Widgets)

add_executable(flashwrendel ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(flashwrendel PRIVATE appgui)
