# find_package(BlorvikAds): the ad client's banner for GTK 4 applications,
# as the imported target BlorvikAds::blorvik-ads.
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
if(NOT TARGET PkgConfig::GTK4)
  pkg_check_modules(GTK4 REQUIRED IMPORTED_TARGET gtk4)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/BlorvikAdsTargets.cmake)
