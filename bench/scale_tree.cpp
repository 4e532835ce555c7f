#include "scale_tree.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <numeric>
#include <random>

#include "scan/record_sort.h"

namespace {

constexpr int LEVELS = 4;

const char* const DEPARTMENTS[] = {"Finance", "Engineering", "Marketing", "Legal", "Operations", "Sales",
                                   "Research", "Support"};
const char* const AREAS[] = {"Contracts", "Reports", "Correspondence", "Drawings", "Minutes", "Invoices"};
const char* const KINDS[] = {"Invoice-Summary", "Meeting-Notes", "Draft-Letter", "Budget-Sheet", "Site-Photo",
                             "Test-Results"};
const char* const EXTENSIONS[] = {"pdf", "docx", "xlsx", "jpg", "txt", "msg"};

uint32_t Mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// The children of every folder in the tree, each level in its own order.
void Visit(int level, int32_t index, int32_t fanout, int32_t leaves, std::mt19937& rng,
           std::vector<int32_t>& walk)
{
    std::vector<int32_t> children(static_cast<size_t>(fanout));
    std::iota(children.begin(), children.end(), 0);
    std::shuffle(children.begin(), children.end(), rng);
    for (int32_t child : children) {
        int32_t next = index * fanout + child;
        // The tree is filled leaf by leaf in creation order: a subtree whose
        // first leaf is past the last holds nothing.
        int32_t firstLeaf = next;
        for (int l = level + 1; l < LEVELS; ++l) firstLeaf *= fanout;
        if (firstLeaf >= leaves) continue;
        if (level + 1 == LEVELS) {
            walk.push_back(next);
        } else {
            Visit(level + 1, next, fanout, leaves, rng, walk);
        }
    }
}

}  // namespace

ScaleTree::ScaleTree(int32_t files) : files_(files)
{
    const int32_t leaves = (files + FILES_PER_FOLDER - 1) / FILES_PER_FOLDER;
    int32_t fanout = static_cast<int32_t>(std::ceil(std::pow(static_cast<double>(leaves), 1.0 / LEVELS)));
    while (std::pow(fanout, LEVELS) < leaves) ++fanout;

    folders_.reserve(static_cast<size_t>(leaves));
    char text[RECORD_PATH_SIZE];
    for (int32_t leaf = 0; leaf < leaves; ++leaf) {
        int32_t digit[LEVELS];
        for (int l = LEVELS - 1, rest = leaf; l >= 0; --l, rest /= fanout) digit[l] = rest % fanout;
        std::snprintf(text, sizeof text, "\\Shares\\Departments\\Dept-%s-%02d\\Project-%04d\\%s-%d\\Batch-%05d\\",
                      DEPARTMENTS[digit[0] % 8], digit[0], digit[0] * fanout + digit[1],
                      AREAS[(digit[1] + digit[2]) % 6], 2000 + digit[2], leaf % 100000);
        folders_.emplace_back(text);
    }

    std::mt19937 rng(2024);
    Visit(0, 0, fanout, leaves, rng, walkFolders_);
    walkFiles_.resize(static_cast<size_t>(leaves) * FILES_PER_FOLDER);
    for (int32_t leaf = 0; leaf < leaves; ++leaf) {
        auto first = walkFiles_.begin() + static_cast<ptrdiff_t>(leaf) * FILES_PER_FOLDER;
        std::iota(first, first + FILES_PER_FOLDER, 0);
        std::shuffle(first, first + FILES_PER_FOLDER, rng);
    }
}

size_t ScaleTree::WritePath(int32_t folder, int32_t id, char* out) const
{
    const std::string& text = folders_[static_cast<size_t>(folder)];
    uint32_t h = Mix(static_cast<uint32_t>(id));
    int length = std::snprintf(out, RECORD_PATH_SIZE, "%s%s-%07d.%s", text.c_str(), KINDS[h % 6], id,
                               EXTENSIONS[(h >> 8) % 6]);
    return static_cast<size_t>(length);
}

FileDetails ScaleTree::DetailsOf(uint32_t id)
{
    uint32_t h = Mix(id * 2654435761u);
    FileDetails details = {};
    details.attributes = 0x20;
    details.size = h % 100000;
    details.creationTime = {h, 30000000};
    details.lastWriteTime = {h ^ 0x5555u, 30000001};
    return details;
}

void ScaleTree::AppendTo(RecordTable& table, bool changes) const
{
    char path[RECORD_PATH_SIZE];
    for (int32_t folder : walkFolders_) {
        for (int32_t k = 0; k < FILES_PER_FOLDER; ++k) {
            int32_t id = folder * FILES_PER_FOLDER + walkFiles_[static_cast<size_t>(folder) * FILES_PER_FOLDER + k];
            if (id >= files_) continue;
            FileDetails details = DetailsOf(static_cast<uint32_t>(id));
            uint32_t roll = changes ? Mix(static_cast<uint32_t>(id) ^ 0xC0FFEEu) % 160 : 4;
            if (roll == 0) continue;  // deleted
            if (roll == 1) details.size++;
            if (roll == 2) details.lastWriteTime.dwLowDateTime++;
            table.Append(path, WritePath(folder, id, path), details);
            if (roll == 3) {
                // A new file beside it, with a name no file of the tree has.
                int32_t added = files_ + id;
                table.Append(path, WritePath(folder, added, path), DetailsOf(static_cast<uint32_t>(added)));
            }
        }
    }
}

void ScaleTree::AppendSorted(RecordTable& table) const
{
    RecordTable walked;
    walked.Clear(false, true);
    AppendTo(walked);
    SortRecords(walked);
    walked.DropSortRoom();
    char path[RECORD_PATH_SIZE];
    for (int32_t i = 0; i < walked.Count(); ++i) {
        table.Append(path, walked.CopyPath(i, path), walked.Details(i));
    }
}

double ScaleTree::MeanPathLength() const
{
    char path[RECORD_PATH_SIZE];
    double total = 0;
    for (int32_t id = 0; id < files_; ++id) total += static_cast<double>(WritePath(id / FILES_PER_FOLDER, id, path));
    return files_ > 0 ? total / files_ : 0;
}

const ScaleTree& ScaleTreeOf(int32_t files)
{
    static std::map<int32_t, std::unique_ptr<ScaleTree>> trees;
    std::unique_ptr<ScaleTree>& tree = trees[files];
    if (!tree) tree.reset(new ScaleTree(files));
    return *tree;
}

ScaleSizes BenchScaleSizes()
{
    ScaleSizes sizes = {100000, 2000000};
    const char* given = std::getenv("OLVARIN_BENCH_SCALE");
    if (given != nullptr) {
        long small = 0;
        long large = 0;
        if (std::sscanf(given, "%ld %ld", &small, &large) == 2 && small > 0 && large >= small &&
            large <= MAX_FILES / 2) {
            sizes = {static_cast<int32_t>(small), static_cast<int32_t>(large)};
        }
    }
    return sizes;
}
