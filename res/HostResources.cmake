# Included by tests/ on the Linux build: compiles install.rc with the cross windres into a .res
# file, which tests/host/ResourceTest.cpp reads back.
find_program(KQ_WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
set(KQ_RES_DIR ${PROJECT_SOURCE_DIR}/res)
set(KQ_COMPILED_RES ${CMAKE_CURRENT_BINARY_DIR}/install.res)
add_custom_command(OUTPUT ${KQ_COMPILED_RES}
  COMMAND ${KQ_WINDRES} -I ${KQ_RES_DIR} -i ${KQ_RES_DIR}/install.rc -O res -o ${KQ_COMPILED_RES}
  DEPENDS ${KQ_RES_DIR}/install.rc ${KQ_RES_DIR}/resource.h ${KQ_RES_DIR}/korvo.ico
          ${KQ_RES_DIR}/background.bmp ${KQ_RES_DIR}/install.manifest
  COMMENT "Compiling install.rc for the resource test"
  VERBATIM)
add_custom_target(kq_test_resources DEPENDS ${KQ_COMPILED_RES})
add_dependencies(kq_tests kq_test_resources)
target_compile_definitions(kq_tests PRIVATE
  KQ_RES_DIR="${KQ_RES_DIR}" KQ_COMPILED_RES="${KQ_COMPILED_RES}")
