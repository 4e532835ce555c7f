// The files of a large file server, made up the same way on every run, for
// the benchmarks at scale: paths of about 100 characters, four levels of
// folders, twenty files to a folder, in the order a walk meets them (every
// folder's entries in no particular order, as a directory listing gives
// them). Only the folders are kept; the names are made as they are needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/record_table.h"

class ScaleTree {
public:
    static constexpr int32_t FILES_PER_FOLDER = 20;

    explicit ScaleTree(int32_t files);

    int32_t Files() const { return files_; }

    // Appends every file to the table in walk order. With changes, about
    // one file in forty differs from the tree: deleted, larger, newer, or
    // with a new file beside it.
    void AppendTo(RecordTable& table, bool changes = false) const;

    // The same files in path order, as a signature holds them.
    void AppendSorted(RecordTable& table) const;

    // Mean path length, in characters.
    double MeanPathLength() const;

private:
    size_t WritePath(int32_t folder, int32_t file, char* out) const;
    static FileDetails DetailsOf(uint32_t id);

    int32_t files_;
    std::vector<std::string> folders_;   // by creation
    std::vector<int32_t> walkFolders_;   // folder indexes in walk order
    std::vector<int32_t> walkFiles_;     // per folder, its files in walk order (FILES_PER_FOLDER each)
};

// One tree per size, made on first use and kept for the process.
const ScaleTree& ScaleTreeOf(int32_t files);

// The two sizes the benchmarks at scale compare: 100,000 and 2,000,000
// files, unless OLVARIN_BENCH_SCALE says "SMALL LARGE" (a quick trial run).
struct ScaleSizes {
    int32_t small;
    int32_t large;
};
ScaleSizes BenchScaleSizes();
