# The layer table of README.md holds for every include and link of the
# product, and the check catches what it exists to catch.
add_test(NAME layers COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-layers ${CMAKE_SOURCE_DIR})
add_test(NAME layers_catches COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/layers_catches.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(layers layers_catches PROPERTIES TIMEOUT 60)
