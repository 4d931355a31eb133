// The source of the programs that make the test suite's precompiled headers
// (cmake/PixmillTest.cmake): the headers come in through the set itself, so
// the program holds nothing else and runs no test; GoogleTest's main links in.
