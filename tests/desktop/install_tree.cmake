# Installs the build into a folder of its own and checks what file managers,
# Debian's tools and the desktop read from it.
set(prefix ${BUILD}/install-tree-test)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(path
    bin/ferrovan-batch
    share/applications/cn.ferrovan.FerrovanBatch.desktop
    share/kio/servicemenus/ferrovan-batch.desktop
    share/nemo/actions/ferrovan-batch.nemo_action
    share/doc/ferrovan-batch/copyright
    share/doc/ferrovan-batch/changelog.gz)
  if(NOT EXISTS ${prefix}/${path})
    message(FATAL_ERROR "the install tree lacks ${path}")
  endif()
endforeach()
file(READ ${prefix}/share/kio/servicemenus/ferrovan-batch.desktop menu)
if(NOT menu MATCHES "Exec=ferrovan-batch %F" OR NOT menu MATCHES "用 Ferrovan文件批处理 打开")
  message(FATAL_ERROR "the service menu does not open the program")
endif()
file(READ ${prefix}/share/nemo/actions/ferrovan-batch.nemo_action action)
if(NOT action MATCHES "Exec=ferrovan-batch %F")
  message(FATAL_ERROR "the Nemo action does not open the program")
endif()
file(REMOVE_RECURSE ${prefix})
