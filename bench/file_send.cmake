# File send out of the window beside the raw pseudo-terminal, and the chart's redraw
# cost while a stream floods the window.
if(TARGET zenta_app AND TARGET devsim)
  add_executable(file_send_bench ${CMAKE_CURRENT_LIST_DIR}/file_send_bench.cpp)
  target_link_libraries(file_send_bench PRIVATE zenta_app zenta_app_testsupport zenta_test_support Qt6::Widgets Qt6::Charts)
  target_compile_definitions(file_send_bench PRIVATE ZENTA_DEVSIM_PATH="$<TARGET_FILE:devsim>")
  add_dependencies(file_send_bench devsim)
endif()
