// The record table the fuzzer reads into: small, so that inputs reach its
// end easily. The seed files are checked against the same size.
#pragma once

constexpr int FUZZ_TABLE_CAPACITY = 8;
