// Placeholder so that the end-to-end test target exists; the real tests replace it.
#include <gtest/gtest.h>
