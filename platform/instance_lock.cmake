#The single - instance mutex : a lock file held with flock().
tarvix_library(platform_instance_lock SOURCES ${CMAKE_CURRENT_LIST_DIR} /
               instance_lock.cc PUBLIC_LIBS platform)
    tarvix_test(platform_instance_lock_test SOURCES ${CMAKE_CURRENT_LIST_DIR} /
                instance_lock_test.cc LIBS platform_instance_lock)
