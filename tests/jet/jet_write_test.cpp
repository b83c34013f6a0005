// Writing Jet 4 databases (placeholder until the writer tests land).
#include <gtest/gtest.h>
