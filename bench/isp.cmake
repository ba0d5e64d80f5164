# Programmer: 64 KiB at the middle speed on the simulated bootloader with line timing,
# zenta (engine alone and the real window) beside stm32flash on the same simulator.
if(TARGET zenta_app AND TARGET zenta_isp_testkit)
  add_executable(isp_bench ${CMAKE_CURRENT_LIST_DIR}/isp_bench.cpp)
  target_link_libraries(isp_bench PRIVATE zenta_app zenta_isp_testkit benchmark::benchmark)
  target_compile_definitions(isp_bench PRIVATE ZENTA_DEVSIM_PATH="$<TARGET_FILE:devsim>"
                                              ZENTA_APP_PATH="$<TARGET_FILE:zenta>")
  add_dependencies(isp_bench zenta)
endif()
