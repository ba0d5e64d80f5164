# Receive path end to end: devsim stream -> pty -> engine -> main window, both display modes.
if(TARGET zenta_app AND TARGET devsim)
  add_executable(e2e_receive_bench ${CMAKE_CURRENT_LIST_DIR}/e2e_receive.cpp)
  target_link_libraries(e2e_receive_bench PRIVATE zenta_app zenta_app_testsupport Qt6::Widgets)
  target_compile_definitions(e2e_receive_bench PRIVATE ZENTA_DEVSIM_PATH="$<TARGET_FILE:devsim>")
  add_dependencies(e2e_receive_bench devsim)
endif()
