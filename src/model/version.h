// The product's name, version and build, shown in the About box and written
// at the head of every result file.
#pragma once

constexpr char PRODUCT_NAME[] = "Olvarin";
constexpr char PRODUCT_VERSION[] = "V1.3";
constexpr char PRODUCT_BUILD[] = "1001";
