ondrel_test(chrome_test SOURCES chrome_test.cpp LIBS ondrel_chrome)
