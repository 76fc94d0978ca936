# cmake --graphviz=build/graph/vddb.dot build: the program's libraries and their
# links (dotted: linked by the sources only), without the programs, the test
# support and the libraries from outside.
set(GRAPHVIZ_GRAPH_NAME "vddb libraries")
set(GRAPHVIZ_EXECUTABLES FALSE)
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "gui_test_support;shell_fixture;paradox_fixtures")
