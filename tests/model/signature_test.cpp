#include <gtest/gtest.h>

#include <cstring>

#include "model/signature.h"

// The layout itself is enforced at compile time; these check what the
// compiler cannot: the contents of the fixed texts.
TEST(Signature, MagicIsThirtyFourCharactersStartingWithTheProductText)
{
    EXPECT_EQ(std::strlen(SIGNATURE_MAGIC), 34u);
    EXPECT_EQ(std::strncmp(SIGNATURE_MAGIC, "Olvarin file. See ", 18), 0);
}
